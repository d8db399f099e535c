#include "morva/signon/user_profile.hpp"

#include <algorithm>

#include "signon/password_ebcdic.hpp"

namespace morva::signon {
namespace {

constexpr std::uint8_t kEbcdicBlank = 0x40;

bool allowed(std::uint8_t byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '#' || byte == '$' ||
         byte == '@' || byte == '_';
}

}  // namespace

Result<void> validate_user_profile(std::span<const std::uint8_t> upper_cased) {
  if (upper_cased.empty() || upper_cased.size() > kUserProfileLength) {
    return fail("IBM i user profile must contain 1 to 10 characters");
  }
  if (!std::all_of(upper_cased.begin(), upper_cased.end(), allowed)) {
    return fail("IBM i user profile contains an unsupported character");
  }
  return {};
}

Result<std::string> checked_user_profile(std::string_view user) {
  std::string upper(user);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(upper.data()), upper.size());
  if (auto valid = validate_user_profile(bytes); !valid) return std::unexpected(valid.error());
  return upper;
}

Result<EncodedUserProfile> encode_user_profile(std::string_view user) {
  const auto upper = checked_user_profile(user);
  if (!upper) return std::unexpected(upper.error());
  EncodedUserProfile encoded;
  encoded.fill(kEbcdicBlank);
  for (std::size_t i = 0; i < upper->size(); ++i) {
    // Every character that passed the check has a code page 37 byte.
    encoded[i] = *level0_ebcdic_byte(static_cast<unsigned char>((*upper)[i]));
  }
  return encoded;
}

}  // namespace morva::signon
