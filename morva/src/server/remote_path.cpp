#include "morva/server/remote_path.hpp"

#include <algorithm>
#include <optional>

#include "ccsid/unicode_tables.hpp"
#include "server/path_text.hpp"

namespace morva::server {
namespace {

constexpr std::string_view kQsysPrefix = "/QSYS.LIB/";

struct CodePoint {
  char32_t value;
  std::size_t length;
};

// The code point at the start of well-formed UTF-8; nothing for a malformed, overlong or surrogate
// sequence, which never counts as white space.
std::optional<CodePoint> decode_first(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) return CodePoint{lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (byte & 0x3F);
  }
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return std::nullopt;
  return CodePoint{value, length};
}

// The length of the white-space character ending the text, or 0.
std::size_t trailing_white_space(std::string_view text) {
  for (std::size_t length = 1; length <= std::min<std::size_t>(4, text.size()); ++length) {
    const auto decoded = decode_first(text.substr(text.size() - length));
    if (decoded && decoded->length == length) return ccsid::is_white_space(decoded->value) ? length : 0;
  }
  return 0;
}

std::string_view trim_white_space(std::string_view text) {
  for (auto decoded = decode_first(text); decoded && ccsid::is_white_space(decoded->value);
       decoded = decode_first(text)) {
    text.remove_prefix(decoded->length);
  }
  while (const std::size_t length = trailing_white_space(text)) text.remove_suffix(length);
  return text;
}

}  // namespace

std::string normalize_remote_path(std::string_view path) {
  std::string normalized(trim_white_space(path));
  std::ranges::replace(normalized, '\\', '/');
  if (!normalized.starts_with('/')) normalized.insert(0, 1, '/');
  const std::size_t last = normalized.find_last_not_of('/');
  normalized.resize(last == std::string::npos ? 1 : last + 1);
  return normalized;
}

Result<void> ensure_not_root(std::string_view normalized_path) {
  if (normalized_path == "/") return fail("refusing to modify the IFS root directory");
  return {};
}

bool is_source_member_path(std::string_view path) {
  if (path.size() < kQsysPrefix.size() ||
      !detail::equals_ignore_ascii_case(path.substr(0, kQsysPrefix.size()), kQsysPrefix))
    return false;
  const std::string_view last = path.substr(path.rfind('/') + 1);
  return detail::ends_with_ignore_ascii_case(last, detail::kMemberSuffix);
}

}  // namespace morva::server
