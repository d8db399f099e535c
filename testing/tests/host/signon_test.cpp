// Sign-on through morva's clients: the fake checks the password substitute of every connection.
#include <gmock/gmock.h>

#include "fake_ibmi/host/substitute.hpp"
#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

TEST(FakeSignOn, AcceptsTheRightPasswordAtEveryLevelOnEveryServer) {
  for (std::uint8_t level = 0; level <= 3; ++level) {
    SCOPED_TRACE(static_cast<int>(level));
    HostSession session(test_tree(), test_settings(level));
    const auto credentials = session.sign_on();
    ASSERT_TRUE(credentials) << credentials.error().text();
    EXPECT_EQ(credentials->password_level, level);
    const auto ifs = session.connect_ifs(*credentials);
    ASSERT_TRUE(ifs) << ifs.error().text();
    EXPECT_THAT(ifs->job_name(), MatchesRegex("[0-9]{6}/QUSER/QPWFSERVSO"));
    const auto command = session.connect_command(*credentials);
    ASSERT_TRUE(command) << command.error().text();
    EXPECT_THAT(command->job_name(), MatchesRegex("[0-9]{6}/QUSER/QZRCSRVS"));
  }
}

TEST(FakeSignOn, RefusesWhatARealServerRefuses) {
  struct Case {
    std::uint8_t level;
    std::string_view user;
    std::string_view password;
    std::string_view error;  // empty: signed on
  };
  const Case cases[] = {
      {0, "TESTER", "Wrong1", "password or passphrase is incorrect (0x0003000B)"},
      {2, "TESTER", "Wrong1", "password or passphrase is incorrect (0x0003000B)"},
      {3, "TESTER", "", "password or passphrase is incorrect (0x0003000B)"},
      // Level 0 upper-cases the password; levels 2 and 3 keep its case.
      {0, "TESTER", "SECRET1", ""},
      {1, "tester", "secret1", ""},
      {2, "TESTER", "SECRET1", "password or passphrase is incorrect (0x0003000B)"},
      {2, "tester", "Secret1", ""},
      {2, "NOBODY", "Secret1", "user profile is unknown (0x00020001)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "level " << int{c.level} << ", " << c.user << "/" << c.password);
    HostSession session(test_tree(), test_settings(c.level));
    expect_outcome(session.sign_on(c.user, c.password), c.error);
  }
}

TEST(FakeSignOn, FileAndCommandServersCheckTheirOwnSubstitutes) {
  HostSession session;
  auto credentials = session.sign_on();
  ASSERT_TRUE(credentials) << credentials.error().text();
  credentials->password = morva::Secret(std::string_view("Secret2"));
  const auto ifs = session.connect_ifs(*credentials);
  ASSERT_FALSE(ifs);
  EXPECT_EQ(ifs.error().text(), "file-service authentication failed with 0x0003000B");
  const auto command = session.connect_command(*credentials);
  ASSERT_FALSE(command);
  EXPECT_EQ(command.error().text(), "remote-command authentication failed with 0x0003000B");
  EXPECT_EQ(session.host().count(RequestKind::file_start), 1u);
  EXPECT_EQ(session.host().count(RequestKind::command_start), 1u);
}

TEST(FakeSignOn, RecordsItsRequestsAndTakesPlannedFaults) {
  HostSession session;
  session.host().fail_next(RequestKind::signon_info, 0x00020002);
  const auto revoked = session.sign_on();
  ASSERT_FALSE(revoked);
  EXPECT_EQ(revoked.error().text(), "user profile is revoked (0x00020002)");
  EXPECT_THAT(session.host().requests(),
              ElementsAre(ServedRequest{Service::signon, RequestKind::signon_attributes, ""},
                          ServedRequest{Service::signon, RequestKind::signon_info, "TESTER"}));

  session.host().drop_next(RequestKind::signon_attributes);
  const auto dropped = session.sign_on();
  ASSERT_FALSE(dropped);
  EXPECT_TRUE(dropped.error().is_io()) << dropped.error().text();
  EXPECT_TRUE(session.sign_on()) << "a fault is taken once";
}

// Vectors computed on their own by morva/tests/signon/substitute_vectors.py (Python's cp037 codec and
// hashlib, OpenSSL's DES), so that the fake's check does not merely agree with the client.
TEST(FakeSubstitute, MatchesIndependentlyComputedVectors) {
  struct Vector {
    std::uint8_t level;
    std::string_view user;
    std::string_view password;
    std::uint64_t client_seed;
    std::string_view server_seed;
    std::string_view substitute;
  };
  const Vector vectors[] = {
      {0, "USER1", "PASSWORD", 0x0000018C5A3B2F10, "0123456789ABCDEF", "4C91C47AE4CB2EAC"},
      {0, "USER1", "PASSWORD9", 0x0000018C5A3B2F10, "0123456789ABCDEF", "6325D12984154B25"},
      {0, "USER1", "PASSWORD10", 0x0000018C5A3B2F10, "0123456789ABCDEF", "86A9BAC5D45EC0B2"},
      {0, "ABCDEFGHI", "SECRET", 1, "0123456789ABCDEF", "F8002886E1CE2870"},
      {0, "abcdefgh_9", "SECRET", 1, "0123456789ABCDEF", "B88E9D2CF3B97087"},
      {0, "USER1", "SECRET", 0, "FFFFFFFFFFFFFFFF", "FAFAE04A6AAA8581"},
      {0, "USER1", "#$@_!%&'()", 7, "0123456789ABCDEF", "CA5B229A83025F55"},
      {2, "user_1", "", 5, "0123456789ABCDEF", "BF81AAC06738CC8936C52B8C763AB79E569405A9"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.password);
    Seed client{};
    for (std::size_t i = 0; i < client.size(); ++i)
      client[i] = static_cast<std::uint8_t>(v.client_seed >> (56 - 8 * i));
    Seed server{};
    const Bytes server_bytes = from_hex(v.server_seed);
    std::ranges::copy(server_bytes, server.begin());
    const auto substitute = expected_substitute(v.user, v.password, v.level, client, server);
    ASSERT_TRUE(substitute);
    EXPECT_EQ(*substitute, from_hex(v.substitute));
  }
  EXPECT_FALSE(expected_substitute("USER1", "WITH BLANK", 0, {}, {})) << "level 0 has no blank";
  EXPECT_FALSE(expected_substitute("USER1", "SECRET", 4, {}, {}));
}

}  // namespace
}  // namespace fake_ibmi::testing
