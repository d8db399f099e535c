#include "morva/signon/user_profile.hpp"

#include <gtest/gtest.h>

#include "fake_ibmi/hex.hpp"
#include "morva/signon/return_code_text.hpp"

namespace morva::signon {
namespace {

using fake_ibmi::from_hex;

TEST(EncodeUserProfile, UpperCasesAndPadsInCodePage37) {
  struct Case {
    const char* user;
    const char* ebcdic;
  };
  const Case cases[] = {
      {"user_1", "E4 E2 C5 D9 6D F1 40 40 40 40"},     {"USER_1", "E4 E2 C5 D9 6D F1 40 40 40 40"},
      {"a", "C1 40 40 40 40 40 40 40 40 40"},          {"ABCDEFGHIJ", "C1 C2 C3 C4 C5 C6 C7 C8 C9 D1"},
      {"KLMNOPQRST", "D2 D3 D4 D5 D6 D7 D8 D9 E2 E3"}, {"UVWXYZ0189", "E4 E5 E6 E7 E8 E9 F0 F1 F8 F9"},
      {"#$@_", "7B 5B 7C 6D 40 40 40 40 40 40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    const auto encoded = encode_user_profile(c.user);
    ASSERT_TRUE(encoded.has_value()) << encoded.error().text();
    EXPECT_EQ(fake_ibmi::Bytes(encoded->begin(), encoded->end()), from_hex(c.ebcdic));
  }
}

TEST(EncodeUserProfile, RefusesBadLengthsBeforeBadCharacters) {
  constexpr const char* kLength = "IBM i user profile must contain 1 to 10 characters";
  constexpr const char* kCharacter = "IBM i user profile contains an unsupported character";
  struct Case {
    const char* user;
    const char* error;
  };
  const Case cases[] = {
      {"", kLength},
      {"ABCDEFGHIJK", kLength},
      {"ABCDEFGH.J.", kLength},  // 11 bytes, bad characters too
      {"\xC3\x84"
       "BCDEFGHIJ",
       kLength},  // 10 characters, 11 bytes
      {"USER.1", kCharacter},
      {"USER 1", kCharacter},
      {"\xC3\x84", kCharacter},
      {"user-1", kCharacter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    const auto encoded = encode_user_profile(c.user);
    ASSERT_FALSE(encoded.has_value());
    EXPECT_EQ(encoded.error().text(), c.error);
  }
}

TEST(ReturnCodeText, NamesTheKnownCodes) {
  struct Case {
    std::uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {0x00000000, "sign-on successful"},
      {0x00020001, "user profile is unknown"},
      {0x00020002, "user profile is revoked"},
      {0x0003000B, "password or passphrase is incorrect"},
      {0x0003000C, "profile will be revoked after the next invalid password"},
      {0x0003000D, "password or passphrase is correct but expired"},
      {0x00030010, "password is *NONE"},
      {0x0003000A, "unrecognized sign-on return code"},
      {0xFFFFFFFF, "unrecognized sign-on return code"},
  };
  for (const Case& c : cases) EXPECT_EQ(return_code_text(c.code), c.text) << c.code;
}

}  // namespace
}  // namespace morva::signon
