#include <fmt/format.h>

#include "morva/ccsid/codec.hpp"

namespace morva::ccsid {

Result<const CcsidCodec*> codec_for(Ccsid ccsid) {
  static const Ccsid277 ccsid277;
  static const Ccsid1200 ccsid1200;
  static const Ccsid1208 ccsid1208;
  switch (ccsid) {
    case 277: return &ccsid277;
    case 1200: return &ccsid1200;
    case 1208: return &ccsid1208;
    default: return fail(fmt::format("file data CCSID {} is not supported", ccsid));
  }
}

Result<std::string> decode(std::span<const std::uint8_t> bytes, Ccsid ccsid) {
  const auto codec = codec_for(ccsid);
  if (!codec) return std::unexpected(codec.error());
  return (*codec)->decode(bytes);
}

}  // namespace morva::ccsid
