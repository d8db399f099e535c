#include "fake_ibmi/host/ccsid_text.hpp"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace fake_ibmi {
namespace {

struct CcsidName {
  std::uint16_t ccsid;
  const char* iconv_name;
};

constexpr std::array kCcsids = {
    CcsidName{37, "IBM037"},      CcsidName{273, "IBM273"},     CcsidName{277, "IBM277"},
    CcsidName{278, "IBM278"},     CcsidName{280, "IBM280"},     CcsidName{284, "IBM284"},
    CcsidName{285, "IBM285"},     CcsidName{297, "IBM297"},     CcsidName{500, "IBM500"},
    CcsidName{819, "ISO-8859-1"}, CcsidName{1200, "UTF-16BE"},  CcsidName{1208, "UTF-8"},
    CcsidName{1252, "CP1252"},    CcsidName{13488, "UTF-16BE"},
};

const char* iconv_name(std::uint16_t ccsid) {
  const auto found = std::ranges::find(kCcsids, ccsid, &CcsidName::ccsid);
  return found == kCcsids.end() ? nullptr : found->iconv_name;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted, or nothing at the first sequence that has no place in the target.
  std::optional<std::string> convert(std::span<const std::uint8_t> input) {
    std::string output(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(input.data()));
    std::size_t in_left = input.size();
    char* out = output.data();
    std::size_t out_left = output.size();
    while (in_left > 0) {
      if (iconv(handle_, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1)) continue;
      if (errno != E2BIG) return std::nullopt;
      const std::size_t used = output.size() - out_left;
      output.resize(output.size() * 2);
      out = output.data() + used;
      out_left = output.size() - used;
    }
    output.resize(output.size() - out_left);
    return output;
  }

 private:
  iconv_t handle_;
};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

bool is_known_ccsid(std::uint16_t ccsid) {
  return iconv_name(ccsid) != nullptr;
}

std::optional<Bytes> encode_text(std::string_view text, std::uint16_t ccsid) {
  const char* name = iconv_name(ccsid);
  if (name == nullptr) return std::nullopt;
  Converter converter(name, "UTF-8");
  if (!converter.valid()) return std::nullopt;
  auto converted = converter.convert(bytes_of(text));
  if (!converted) return std::nullopt;
  return Bytes(converted->begin(), converted->end());
}

std::optional<std::string> decode_text(std::span<const std::uint8_t> bytes, std::uint16_t ccsid) {
  const char* name = iconv_name(ccsid);
  if (name == nullptr) return std::nullopt;
  Converter converter("UTF-8", name);
  if (!converter.valid()) return std::nullopt;
  return converter.convert(bytes);
}

std::optional<Bytes> encode_field(std::string_view text, std::uint16_t ccsid, std::size_t width) {
  auto field = encode_text(text, ccsid);
  if (!field || field->size() > width) return std::nullopt;
  const Bytes blank = blank_of(ccsid);
  while (field->size() + blank.size() <= width) field->insert(field->end(), blank.begin(), blank.end());
  if (field->size() != width) return std::nullopt;
  return field;
}

std::optional<std::u32string> code_points(std::string_view text) {
  Converter converter("UTF-32BE", "UTF-8");
  const auto converted = converter.convert(bytes_of(text));
  if (!converted) return std::nullopt;
  std::u32string characters;
  for (std::size_t i = 0; i + 4 <= converted->size(); i += 4) {
    char32_t character = 0;
    for (std::size_t j = 0; j < 4; ++j)
      character = character << 8 | static_cast<std::uint8_t>((*converted)[i + j]);
    characters.push_back(character);
  }
  return characters;
}

Bytes blank_of(std::uint16_t ccsid) {
  return encode_text(" ", ccsid).value_or(Bytes{0x40});
}

std::string trim_right(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace fake_ibmi
