#include "morva/ifs/listing_order.hpp"
#include "ops_session.hpp"

#include <gmock/gmock.h>

namespace morva::ifs::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> names(const std::vector<IfsEntry>& entries) {
  std::vector<std::string> result;
  for (const auto& entry : entries) result.push_back(entry.name);
  return result;
}

TEST(ListingOrder, SortsLowerCasedNamesStablyWithPrefixesFirst) {
  struct Case {
    std::vector<std::string> sent;
    std::vector<std::string> sorted;
  };
  const Case cases[] = {
      {{"beta", "Alpha", "alpha", "ALPHA2"}, {"Alpha", "alpha", "ALPHA2", "beta"}},
      {{"a_txt", "a.txt"}, {"a.txt", "a_txt"}},
      {{"\xC3\xA9t\xC3\xA9", "zz", "Z~"}, {"zz", "Z~", "\xC3\xA9t\xC3\xA9"}},
      {{"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", "\xC3\xA9"},
       {"\xC3\xA9", "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"}},
      {{"ab", "a", "AB", "A"}, {"a", "A", "ab", "AB"}},
  };
  for (const auto& c : cases) {
    std::vector<IfsEntry> entries;
    for (const auto& name : c.sent) entries.push_back(IfsEntry{.name = name});
    sort_listing(entries);
    EXPECT_EQ(names(entries), c.sorted);
  }
  EXPECT_TRUE(listing_order(IfsEntry{.name = "a.txt"}, IfsEntry{.name = "A_TXT"}));
  EXPECT_FALSE(listing_order(IfsEntry{.name = "ALPHA"}, IfsEntry{.name = "alpha"}));
}

TEST(ListDirectory, SendsTheNormalisedPatternAndDropsDotEntries) {
  struct Case {
    std::string path;
    std::u16string pattern;
  };
  const Case cases[] = {
      {"/home/", u"/home/*"}, {"/", u"/*"}, {"", u"/*"}, {" home\\user\\ ", u"/home/user/*"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Session session(ConnectionScript()
                        .expect(list_request(c.pattern))
                        .send(entry_reply(u"."))
                        .send(entry_reply(u"beta"))
                        .send(entry_reply(u".."))
                        .send(entry_reply(u""))
                        .send(entry_reply(u"Alpha", 0)));
    const auto entries = session.run([&](IfsClient& client) { return client.list_directory(c.path); });
    ASSERT_TRUE(entries) << entries.error().text();
    EXPECT_THAT(names(*entries), ElementsAre("Alpha", "beta"));
  }
}

TEST(ListDirectory, TakesEntryFieldsAndAcceptsReturnCode18AsTheEnd) {
  Session session(ConnectionScript()
                      .expect(list_request(u"/d/*"))
                      .send(entry_reply(u"sub", kMore, 2))
                      .send(entry_reply(u"file.txt", kMore, 1, 0x1'0000'0005))
                      .send(return_code_reply(18)));
  const auto entries = session.run([](IfsClient& client) { return client.list_directory("/d"); });
  ASSERT_TRUE(entries) << entries.error().text();
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].name, "file.txt");
  EXPECT_EQ((*entries)[0].size, 0x1'0000'0005u);
  EXPECT_NE((*entries)[0].kind, kDirectoryKind);
  EXPECT_EQ((*entries)[1].kind, kDirectoryKind);
}

TEST(ListDirectory, FailsOnReturnCodesAndUnexpectedReplies) {
  struct Case {
    Bytes last;
    std::string message;
  };
  const Case cases[] = {
      {return_code_reply(2), "file not found for /home (return code 2)"},
      {PacketBuilder(kServer, 0x8003).u16(20, 0).build(), "unexpected file-service reply 0x8003"},
      {PacketBuilder(kServer, 0x8005).u16(20, 0).u16(54, 1).u64(81, 0).build(),
       "file-service list reply has no name field"},
  };
  for (const auto& c : cases) {
    Session session(ConnectionScript().expect(kListId).send(entry_reply(u"a")).send(c.last));
    const auto entries = session.run([](IfsClient& client) { return client.list_directory("/home"); });
    ASSERT_FALSE(entries);
    EXPECT_EQ(entries.error().text(), c.message);
  }
}

TEST(ListDirectory, RefusesAConnectionWithoutUtf16Names) {
  Session session(ConnectionScript(), ClientSettings{.ccsid = 13488});
  const auto entries = session.run([](IfsClient& client) { return client.list_directory("/"); });
  ASSERT_FALSE(entries);
  EXPECT_EQ(entries.error().text(),
            "file-service selected CCSID 13488; only UTF-16 CCSID 1200 is implemented");
  session.finish();
  EXPECT_TRUE(session.received().empty());
}

TEST(Stat, TakesTheFirstEntryAndNamesAnUnnamedRoot) {
  Session session(ConnectionScript()
                      .expect(list_request(u"/"))
                      .send(entry_reply(u"", 0, 2))
                      .expect(list_request(u"/x"))
                      .send(entry_reply(u"b", kMore))
                      .send(entry_reply(u"A", 0))
                      .expect(list_request(u"/none"))
                      .send(return_code_reply(18)));
  const auto root = session.run([](IfsClient& client) { return client.stat(" / "); });
  ASSERT_TRUE(root) << root.error().text();
  EXPECT_EQ(root->name, "/");
  EXPECT_EQ(root->kind, kDirectoryKind);
  const auto first = session.run([](IfsClient& client) { return client.stat("/x"); });
  ASSERT_TRUE(first) << first.error().text();
  EXPECT_EQ(first->name, "A");
  const auto none = session.run([](IfsClient& client) { return client.stat("/none/"); });
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().text(), "path returned no file-service attributes: /none");
}

}  // namespace
}  // namespace morva::ifs::testing
