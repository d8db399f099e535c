#include "main/console/password.hpp"

#include "unicode_text.hpp"

namespace varlin {

std::optional<morva::Secret> password_from_utf16(std::u16string_view units) {
  morva::WipedBytes bytes;
  bytes.reserve(units.size() * 3);
  append_utf8(units, bytes);
  if (!is_valid_utf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()})) return std::nullopt;
  return morva::Secret(std::span<const std::uint8_t>(bytes));
}

}  // namespace varlin
