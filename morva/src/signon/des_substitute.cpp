#include "signon/des_substitute.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "morva/ccsid/unicode_tables.hpp"
#include "morva/ccsid/utf8.hpp"
#include "morva/signon/user_profile.hpp"
#include "signon/crypto.hpp"
#include "signon/password_ebcdic.hpp"

namespace morva::signon {
namespace {

constexpr std::size_t kPasswordLength = 10;
constexpr std::uint8_t kEbcdicBlank = 0x40;
constexpr std::uint8_t kEbcdicQ = 0xD8;
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::string_view kLengthError = "password level 0 requires a password of 1 to 10 characters";

// 0x40 or 0x00.
bool blank(std::uint8_t byte) {
  return (byte & ~kEbcdicBlank) == 0;
}

struct WipedPassword : std::array<std::uint8_t, kPasswordLength> {
  ~WipedPassword() { wipe(data(), size()); }
};

std::size_t character_count(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t index = 0; index < text.size(); ++count) index += ccsid::read_utf8(text, index).length;
  return count;
}

// P: the password upper-cased in EBCDIC, with 'Q' before a leading digit, padded with blanks.
Result<WipedPassword> level0_password(std::string_view text) {
  const std::size_t count = character_count(text);
  if (count == 0) return fail(std::string(kLengthError));
  const bool leading_digit = text[0] >= '0' && text[0] <= '9';
  if (count + (leading_digit ? 1 : 0) > kPasswordLength) return fail(std::string(kLengthError));

  WipedPassword encoded;
  encoded.fill(kEbcdicBlank);
  std::size_t length = 0;
  if (leading_digit) encoded[length++] = kEbcdicQ;
  std::size_t position = 0;  // of the character in the caller's password, from 1
  for (std::size_t index = 0; index < text.size();) {
    const ccsid::Utf8Step step = ccsid::read_utf8(text, index);
    index += step.length;
    ++position;
    const char32_t c =
        step.kind == ccsid::Utf8Step::Kind::character ? step.code_point : kReplacementCharacter;
    const ccsid::UpperMapping upper = ccsid::to_upper_full(c);
    if (upper.length != 1) {
      return fail("password contains a character that cannot be represented by IBM i password level 0");
    }
    const auto byte = level0_ebcdic_byte(upper.code_points[0]);
    if (!byte) {
      return fail(fmt::format(
          "password contains character at position {}, which IBM i password level 0 does not support",
          position));
    }
    encoded[length++] = *byte;
  }
  return encoded;
}

WipedBlock block_of(std::span<const std::uint8_t> bytes) {
  WipedBlock block;
  block.fill(kEbcdicBlank);
  std::copy_n(bytes.begin(), std::min(bytes.size(), block.size()), block.begin());
  return block;
}

WipedBlock big_endian(std::uint64_t value) {
  WipedBlock block;
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
  return block;
}

WipedBlock operator^(const WipedBlock& a, const WipedBlock& b) {
  WipedBlock result;
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = a[i] ^ b[i];
  return result;
}

// The first 8 bytes of the user profile, with bits of the 9th and 10th folded in when it is longer.
WipedBlock folded_user(const EncodedUserProfile& user) {
  WipedBlock folded = block_of(user);
  if (std::none_of(user.begin(), user.begin() + 8, blank) && !blank(user[8])) {
    for (std::size_t i = 0; i < 4; ++i) {
      folded[i] ^= static_cast<std::uint8_t>((user[8] << (2 * i)) & 0xC0);
      folded[4 + i] ^= static_cast<std::uint8_t>((user[9] << (2 * i)) & 0xC0);
    }
  }
  return folded;
}

// Each byte XOR 0x55, then the 64 bits shifted left by one.
WipedBlock key_of(const WipedBlock& x) {
  WipedBlock key;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto next = i + 1 < key.size() ? static_cast<std::uint8_t>(x[i + 1] ^ 0x55) : std::uint8_t{0};
    key[i] = static_cast<std::uint8_t>(((x[i] ^ 0x55) << 1) | (next >> 7));
  }
  return key;
}

Result<WipedBlock> token_of(const WipedPassword& password, const WipedBlock& user) {
  auto token = des_encrypt(key_of(block_of(std::span(password).first(8))), user);
  if (!token || std::any_of(password.begin(), password.begin() + 8, blank) || blank(password[8]))
    return token;
  auto second = des_encrypt(key_of(block_of(std::span(password).subspan(8))), user);
  if (!second) return second;
  return *token ^ *second;
}

}  // namespace

// T = the token of password and folded user; R = server seed + 1; CS = client seed;
// E1 = DES_T(R), E2 = DES_T(E1 ^ CS), E3 = DES_T(U[0..8] ^ R ^ E2),
// E4 = DES_T((U[8], U[9], blanks) ^ R ^ E3), substitute = DES_T(E4 ^ 1).
Result<Secret> des_substitute(std::string_view user, const Secret& password, std::uint64_t client_seed,
                              const Seed& server_seed) {
  const auto encoded_user = encode_user_profile(user);
  if (!encoded_user) return std::unexpected(encoded_user.error());
  const auto encoded_password = level0_password(password.text());
  if (!encoded_password) return std::unexpected(encoded_password.error());
  const auto token = token_of(*encoded_password, folded_user(*encoded_user));
  if (!token) return std::unexpected(token.error());

  std::uint64_t seed = 0;
  for (const std::uint8_t byte : server_seed) seed = seed << 8 | byte;
  const WipedBlock r = big_endian(seed + 1);
  const WipedBlock user_head = block_of(*encoded_user);
  const WipedBlock user_tail = block_of(std::span(*encoded_user).subspan(8));

  auto e = des_encrypt(*token, r);
  if (e) e = des_encrypt(*token, *e ^ big_endian(client_seed));
  if (e) e = des_encrypt(*token, user_head ^ r ^ *e);
  if (e) e = des_encrypt(*token, user_tail ^ r ^ *e);
  if (e) e = des_encrypt(*token, *e ^ big_endian(1));
  if (!e) return std::unexpected(e.error());
  return Secret(std::span<const std::uint8_t>(*e));
}

}  // namespace morva::signon
