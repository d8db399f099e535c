#include "main/console/password.hpp"

#include "morva/ccsid/utf16.hpp"

namespace varlin {

std::optional<morva::Secret> password_from_utf16(std::u16string_view units) {
  morva::WipedBytes bytes;
  bytes.reserve(units.size() * 3);
  morva::ccsid::append_utf8_of_utf16(units, bytes);
  if (!morva::ccsid::is_valid_utf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()}))
    return std::nullopt;
  return morva::Secret(std::span<const std::uint8_t>(bytes));
}

}  // namespace varlin
