// Looking entries up on a fake IBM i: what is asked, what is kept and for how long, how errors map.
#include <gmock/gmock.h>

#include <functional>

#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;
using fake_ibmi::FakeHost;
using fake_ibmi::RequestKind;
using ::testing::ElementsAre;

constexpr std::string_view kNotes = "/home/tester/notes.txt";

using LookupEntry = MountedRoot;

TEST_F(LookupEntry, AnswersTheRemoteRootWithoutAsking) {
  const EntryInfo root{.member = std::nullopt, .size = 0, .modified = 0, .is_directory = true};
  EXPECT_EQ(fs->lookup_entry("/"), root);
  const auto below = mount("/home/tester");
  ASSERT_TRUE(below);
  host.clear_requests();
  EXPECT_EQ(below->lookup_entry("/home/tester"), root);
  EXPECT_TRUE(host.requests().empty());
}

TEST_F(LookupEntry, StatsTheRemotePathAndAMemberByItsCanonicalPath) {
  struct Case {
    std::string path;
    std::string asked;
    EntryInfo entry;
  };
  const std::string hello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
  const std::string lower_hello = "/QSYS.LIB/devlib.LIB/qclsrc.FILE/hello.MBR";
  const Case cases[] = {
      {std::string(kNotes), std::string(kNotes), built_file(23)},
      {"/home/tester/empty", "/home/tester/empty", built_directory()},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp", hello,
       built_file(240, MemberLocation{"DEVLIB", "QCLSRC", hello})},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR", hello,
       built_file(240, MemberLocation{"DEVLIB", "QCLSRC", hello})},
      {"/qsys.lib/devlib/qclsrc/hello.clp", lower_hello,
       built_file(240, MemberLocation{"devlib", "qclsrc", lower_hello})},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC", "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE", built_directory()},
      {"/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm", "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM", built_file(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host.clear_requests();
    EXPECT_EQ(fs->lookup_entry(c.path), c.entry);
    EXPECT_THAT(host.requests(), ElementsAre(file_request(RequestKind::list_attributes, c.asked)));
  }
}

TEST_F(LookupEntry, KeepsAnEntryWhileItIsYoungerThanTheLifetime) {
  ASSERT_TRUE(fs->lookup_entry(kNotes));
  host.with_tree([](fake_ibmi::IfsTree& tree) { tree.find(kNotes)->data.push_back('!'); });
  clock.advance(kTestLifetime - 1ns);
  EXPECT_EQ(fs->lookup_entry(kNotes)->size, 23u) << "the cached entry, though the file grew meanwhile";
  EXPECT_EQ(host.count(RequestKind::list_attributes), 1u);
  clock.advance(1ns);
  EXPECT_EQ(fs->lookup_entry(kNotes)->size, 24u);
  EXPECT_EQ(host.count(RequestKind::list_attributes), 2u);
}

TEST_F(LookupEntry, AsksEveryTimeWithALifetimeOf0) {
  const auto uncached = mount("/", 0s);
  ASSERT_TRUE(uncached);
  host.clear_requests();
  EXPECT_TRUE(uncached->lookup_entry(kNotes));
  EXPECT_TRUE(uncached->lookup_entry(kNotes));
  EXPECT_EQ(host.count(RequestKind::list_attributes), 2u);
}

TEST_F(LookupEntry, MapsTheErrorsOfTheIbmiAndKeepsNoneOfThem) {
  struct Case {
    std::string what;
    std::function<void(FakeHost&)> arrange;
    std::string path;
    NtStatus status;
  };
  const auto nothing = [](FakeHost&) {};
  const auto refuse = [](std::uint32_t code) {
    return [code](FakeHost& h) { h.fail_next(RequestKind::list_attributes, code); };
  };
  const Case cases[] = {
      {"missing file", nothing, "/home/tester/missing.txt", winfsp::kStatusObjectNameNotFound},
      {"missing directory", nothing, "/home/nobody/x.txt", winfsp::kStatusObjectPathNotFound},
      {"missing member", nothing, "/QSYS.LIB/DEVLIB.LIB/QCLSRC/NONE.clp", winfsp::kStatusObjectNameNotFound},
      {"access denied", refuse(5), std::string(kNotes), winfsp::kStatusAccessDenied},
      {"request denied", refuse(13), std::string(kNotes), winfsp::kStatusAccessDenied},
      {"file in use", refuse(1), std::string(kNotes), winfsp::kStatusSharingViolation},
      {"sharing violation", refuse(32), std::string(kNotes), winfsp::kStatusSharingViolation},
      {"resource not available", refuse(12), std::string(kNotes), winfsp::kStatusUnexpectedNetworkError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock.advance(kTestLifetime);  // what the case before found has expired
    c.arrange(host);
    EXPECT_EQ(fs->lookup_entry(c.path), std::unexpected(c.status));
    EXPECT_TRUE(entry_asks(c.path)) << "a failure is not cached";
  }
}

TEST_F(LookupEntry, ALostConnectionIsAnUnexpectedNetworkError) {
  host.drop_next(RequestKind::list_attributes);
  EXPECT_EQ(fs->lookup_entry(kNotes), std::unexpected(winfsp::kStatusUnexpectedNetworkError));
  EXPECT_EQ(fs->lookup_entry("/home/tester/empty"), std::unexpected(winfsp::kStatusUnexpectedNetworkError));
}

}  // namespace
}  // namespace varlin::filesystem
