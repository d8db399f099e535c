#include "morva/signon/password_substitute.hpp"

#include <fmt/format.h>

#include "morva/ccsid/utf16.hpp"
#include "morva/signon/user_profile.hpp"
#include "morva/wipe_on_exit.hpp"
#include "signon/crypto.hpp"
#include "signon/des_substitute.hpp"

namespace morva::signon {
namespace {

// SHA-1 substitute (levels 2 and 3):
//   U16 = the upper-cased user profile as UTF-16BE, padded with U+0020 to 10 characters
//   T = SHA-1(U16, the password as UTF-16BE)
//   substitute = SHA-1(T, server seed, client seed, U16, sequence number 1)
Result<Secret> sha1_substitute(std::string_view user, const Secret& password, std::uint64_t client_seed,
                               const Seed& server_seed) {
  const auto upper = checked_user_profile(user);
  if (!upper) return std::unexpected(upper.error());
  std::array<std::uint8_t, 2 * kUserProfileLength> user16{};
  for (std::size_t i = 0; i < kUserProfileLength; ++i) {
    user16[2 * i + 1] = i < upper->size() ? static_cast<std::uint8_t>((*upper)[i]) : std::uint8_t{' '};
  }
  std::vector<std::uint8_t> password16 = ccsid::encode_utf16be(password.text());
  const WipeOnExit wipe_password16(password16);
  const WipedDigest token = sha1({user16, password16});

  WipedBlock client;
  for (std::size_t i = 0; i < client.size(); ++i)
    client[i] = static_cast<std::uint8_t>(client_seed >> (56 - 8 * i));
  const WipedBlock sequence{{0, 0, 0, 0, 0, 0, 0, 1}};
  const WipedDigest substitute = sha1({token, server_seed, client, user16, sequence});
  return Secret(std::span<const std::uint8_t>(substitute));
}

}  // namespace

Result<Secret> password_substitute(std::string_view user, const Secret& password, std::uint8_t password_level,
                                   std::uint64_t client_seed, const Seed& server_seed) {
  switch (password_level) {
    case 0:
    case 1: return des_substitute(user, password, client_seed, server_seed);
    case 2:
    case 3: return sha1_substitute(user, password, client_seed, server_seed);
    default:
      return fail(fmt::format("password level {} is not implemented; levels 0 through 3 are supported",
                              password_level));
  }
}

}  // namespace morva::signon
