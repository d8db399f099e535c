#include "morva/signon/password_substitute.hpp"

#include <gtest/gtest.h>

#include "fake_ibmi/hex.hpp"

namespace morva::signon {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;

Seed seed_of(const char* hex) {
  const Bytes bytes = from_hex(hex);
  Seed seed{};
  std::copy(bytes.begin(), bytes.end(), seed.begin());
  return seed;
}

Result<Secret> substitute(std::uint8_t level, const char* user, const char* password,
                          std::uint64_t client_seed, const char* server_seed = "0123456789ABCDEF") {
  return password_substitute(user, Secret(std::string_view(password)), level, client_seed,
                             seed_of(server_seed));
}

struct Vector {
  const char* name;
  std::uint8_t level;
  const char* user;
  const char* password;
  std::uint64_t client_seed;
  const char* server_seed;
  const char* expected;
};

// Expected values come from substitute_vectors.py beside this test, which computes them on its own from
// Python's upper-casing and cp037 codec, hashlib's SHA-1 and openssl's DES; never from this library.
const Vector kVectors[] = {
    {"8 characters", 0, "USER1", "PASSWORD", 0x0000018C5A3B2F10, "0123456789ABCDEF", "4C91C47AE4CB2EAC"},
    {"6 characters", 0, "USER1", "SECRET", 0x0000018C5A3B2F10, "0123456789ABCDEF", "4E95498DEA85DC87"},
    {"lower case as upper case", 1, "user1", "secret", 0x0000018C5A3B2F10, "0123456789ABCDEF",
     "4E95498DEA85DC87"},
    {"9 characters", 0, "USER1", "PASSWORD9", 0x0000018C5A3B2F10, "0123456789ABCDEF", "6325D12984154B25"},
    {"10 characters", 0, "USER1", "PASSWORD10", 0x0000018C5A3B2F10, "0123456789ABCDEF", "86A9BAC5D45EC0B2"},
    {"leading digit, 9 become 10", 0, "USER1", "123456789", 0x0000018C5A3B2F10, "0123456789ABCDEF",
     "557410372731E83F"},
    {"leading digit, short", 0, "USER1", "1A", 0x0000018C5A3B2F10, "0123456789ABCDEF", "23CB13C30ED863AA"},
    {"user of 8", 0, "ABCDEFGH", "SECRET", 1, "0123456789ABCDEF", "C30D922586AE4D16"},
    {"user of 9, folded", 0, "ABCDEFGHI", "SECRET", 1, "0123456789ABCDEF", "F8002886E1CE2870"},
    {"user of 10, folded", 0, "abcdefgh_9", "SECRET", 1, "0123456789ABCDEF", "B88E9D2CF3B97087"},
    {"server seed wraps", 0, "USER1", "SECRET", 0, "FFFFFFFFFFFFFFFF", "FAFAE04A6AAA8581"},
    {"symbols", 0, "USER1", "#$@_!%&'()", 7, "0123456789ABCDEF", "CA5B229A83025F55"},
    {"more symbols", 0, "USER1", "*+,-./:;<=", 7, "0123456789ABCDEF", "03DAAEDFD9988BEE"},
    {"last symbols", 0, "USER1", ">?\"Q", 7, "0123456789ABCDEF", "B208B3F8297AEB55"},
    {"national characters as their symbols", 0, "USER1", "\xC3\xA4\xC2\xA5\xC3\xB6_!%&'()", 7,
     "0123456789ABCDEF", "CA5B229A83025F55"},
    {"SHA-1 keeps case", 2, "USER1", "Secret", 0x0000018C5A3B2F10, "0123456789ABCDEF",
     "6A80A4F321C5A9FA3D290B48CC9AD37F4174C3B6"},
    {"level 3 as level 2", 3, "user1", "Secret", 0x0000018C5A3B2F10, "0123456789ABCDEF",
     "6A80A4F321C5A9FA3D290B48CC9AD37F4174C3B6"},
    {"empty password", 2, "user_1", "", 5, "0123456789ABCDEF", "BF81AAC06738CC8936C52B8C763AB79E569405A9"},
    {"any character, user of 10", 2, "ABCDEFGHIJ", "p\xC3\xA4ss \xF0\x9F\x98\x80", 5, "0123456789ABCDEF",
     "6C80447A57D2A836EC482C2FBC6937D9A000B0B7"},
    {"SHA-1 with all-ones seed", 2, "USER1", "x", 0, "FFFFFFFFFFFFFFFF",
     "DD5F59F215AF30A134C1769F5915801A9FC535CF"},
};

TEST(PasswordSubstitute, MatchesIndependentlyComputedVectors) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.name);
    const auto result = substitute(v.level, v.user, v.password, v.client_seed, v.server_seed);
    ASSERT_TRUE(result.has_value()) << result.error().text();
    EXPECT_EQ(Bytes(result->bytes().begin(), result->bytes().end()), from_hex(v.expected));
  }
}

TEST(PasswordSubstitute, CaseRulesFollowTheLevel) {
  const auto upper0 = substitute(0, "USER1", "SECRETI", 3);
  const auto lower0 = substitute(0, "USER1", "secret\xC4\xB1", 3);  // dotless i upper-cases to I
  ASSERT_TRUE(upper0 && lower0);
  EXPECT_TRUE(std::ranges::equal(upper0->bytes(), lower0->bytes()));

  const auto upper2 = substitute(2, "USER1", "SECRET", 3);
  const auto lower2 = substitute(2, "USER1", "secret", 3);
  ASSERT_TRUE(upper2 && lower2);
  EXPECT_FALSE(std::ranges::equal(upper2->bytes(), lower2->bytes()));
}

TEST(PasswordSubstitute, RefusesWhatTheLevelCannotCarry) {
  constexpr const char* kLength = "password level 0 requires a password of 1 to 10 characters";
  constexpr const char* kSeveral =
      "password contains a character that cannot be represented by IBM i password level 0";
  struct Case {
    const char* name;
    std::uint8_t level;
    const char* user;
    const char* password;
    const char* error;
  };
  const Case cases[] = {
      {"level 4", 4, "USER1", "SECRET",
       "password level 4 is not implemented; levels 0 through 3 are supported"},
      {"level 255", 255, "USER1", "SECRET",
       "password level 255 is not implemented; levels 0 through 3 are supported"},
      {"empty", 0, "USER1", "", kLength},
      {"11 characters", 1, "USER1", "ABCDEFGHIJK", kLength},
      {"10 characters after a digit", 0, "USER1", "1234567890", kLength},
      {"11 characters, bad ones too", 0, "USER1", "ABCD EFG\\IJ", kLength},
      {"sharp s", 0, "USER1",
       "STRA\xC3\x9F"
       "E",
       kSeveral},
      {"ligature", 0, "USER1", "\xEF\xAC\x81X", kSeveral},
      {"blank", 0, "USER1", "MY PASS",
       "password contains character at position 3, which IBM i password level 0 does not support"},
      {"backslash after a digit", 0, "USER1", "1\\",
       "password contains character at position 2, which IBM i password level 0 does not support"},
      {"two-byte character", 0, "USER1", "\xC3\xA4\xC3\xA9",
       "password contains character at position 2, which IBM i password level 0 does not support"},
      {"invalid UTF-8", 0, "USER1", "AB\xFF",
       "password contains character at position 3, which IBM i password level 0 does not support"},
      {"user before password, DES", 0, "USER.1", "", "IBM i user profile contains an unsupported character"},
      {"user before password, SHA-1", 2, "", "", "IBM i user profile must contain 1 to 10 characters"},
      {"user of 11, SHA-1", 3, "ABCDEFGHIJK", "x", "IBM i user profile must contain 1 to 10 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = substitute(c.level, c.user, c.password, 1);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().text(), c.error);
  }
}

}  // namespace
}  // namespace morva::signon
