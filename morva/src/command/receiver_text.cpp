#include "command/receiver_text.hpp"

#include "morva/ccsid/codec.hpp"
#include "morva/ccsid/utf8.hpp"

namespace morva::command {

Result<void> decode_text_fields(std::span<const std::uint8_t> receiver, std::uint16_t ccsid,
                                std::initializer_list<TextField> fields) {
  const auto codec = ccsid::codec_for(ccsid);
  if (!codec) return std::unexpected(codec.error());
  for (const TextField& field : fields) {
    const auto text = (*codec)->decode(receiver.subspan(field.offset, field.length));
    if (!text) return std::unexpected(text.error());
    *field.text = ccsid::trim_white_space(*text);
  }
  return {};
}

}  // namespace morva::command
