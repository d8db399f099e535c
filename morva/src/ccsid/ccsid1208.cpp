#include <fmt/format.h>

#include "morva/ccsid/codec.hpp"
#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {

Result<std::string> Ccsid1208::decode(std::span<const std::uint8_t> bytes) const {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t index = 0; index < text.size();) {
    if (static_cast<std::uint8_t>(text[index]) < 0x80) {
      ++index;
      continue;
    }
    const Utf8Step step = read_utf8(text, index);
    switch (step.kind) {
      case Utf8Step::Kind::character: index += step.length; break;
      case Utf8Step::Kind::invalid:
        return fail(
            fmt::format("invalid UTF-8 data for CCSID 1208: invalid utf-8 sequence of {} bytes from index {}",
                        step.length, index));
      case Utf8Step::Kind::incomplete:
        return fail(fmt::format(
            "invalid UTF-8 data for CCSID 1208: incomplete utf-8 byte sequence from index {}", index));
    }
  }
  return std::string(text);
}

Result<std::vector<std::uint8_t>> Ccsid1208::encode(std::string_view text) const {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace morva::ccsid
