// Listings and attributes through morva's file-service client.
#include <gmock/gmock.h>

#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using morva::ifs::IfsEntry;
using morva::ifs::kDirectoryKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using FakeFileService = ConnectedHost;

TEST_F(FakeFileService, AgreesOnTheConnection) {
  EXPECT_EQ(session.ifs().ccsid(), 1200);
  EXPECT_EQ(session.ifs().datastream_level(), 16);
  EXPECT_EQ(session.ifs().data_block_size(), 65536u);
}

TEST_F(FakeFileService, ListsDirectoriesOfBothFileSystems) {
  struct Case {
    std::string path;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"/", {"home", "QSYS.LIB"}},
      {"/home/tester", {"data.bin", "empty", "notes.txt"}},
      {"/home/tester/empty", {}},
      {"/qsys.lib", {"DEVLIB.LIB"}},
      {"/QSYS.LIB/DEVLIB.LIB",
       {"CUSTOMERS.FILE", "HELLO.PGM", "QCLSRC.FILE", "QNEWSRC.FILE", "QTXTSRC.FILE", "SETTINGS.DTAARA"}},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE", {"EMPTY.MBR", "HELLO.MBR"}},
      {"/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto entries = session.run(session.ifs().list_directory(c.path));
    ASSERT_TRUE(entries) << entries.error().text();
    EXPECT_EQ(names(*entries), c.names);
  }
}

TEST_F(FakeFileService, ReportsKindsSizesTimesAndCcsids) {
  const auto library = session.run(session.ifs().list_directory("/QSYS.LIB/DEVLIB.LIB"));
  ASSERT_TRUE(library) << library.error().text();
  for (const IfsEntry& entry : *library) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(entry.kind == kDirectoryKind, entry.name.ends_with(".FILE"));
    EXPECT_EQ(entry.modified, kBuiltTime);
  }
  const auto members = session.run(session.ifs().list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"));
  ASSERT_TRUE(members) << members.error().text();
  const IfsEntry& hello = (*members)[1];
  EXPECT_EQ(hello.size, 3u * 80);
  EXPECT_EQ(hello.ccsid, 277);
  EXPECT_NE(hello.kind, kDirectoryKind);

  const auto data = session.run(session.ifs().stat("/home/tester/data.bin"));
  ASSERT_TRUE(data) << data.error().text();
  EXPECT_EQ(data->size, 100'000u);
  EXPECT_EQ(data->ccsid, kStreamFileCcsid);
}

TEST(FakeListingAttributes, AreLeftOutWhenTheSettingsSaySo) {
  HostSettings settings = test_settings();
  settings.list_states_ccsid = false;
  HostSession session(test_tree(), settings);
  ASSERT_TRUE(session.connect());
  const auto members = session.run(session.ifs().list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"));
  ASSERT_TRUE(members) << members.error().text();
  ASSERT_EQ(members->size(), 2u);
  for (const IfsEntry& entry : *members) EXPECT_EQ(entry.ccsid, std::nullopt) << entry.name;
  const auto notes = session.run(session.ifs().stat("/home/tester/notes.txt"));
  ASSERT_TRUE(notes) << notes.error().text();
  EXPECT_EQ(notes->ccsid, std::nullopt);
  const auto ccsid =
      session.run(session.ifs().source_member_ccsid("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR"));
  ASSERT_TRUE(ccsid) << ccsid.error().text();
  EXPECT_EQ(*ccsid, 277) << "an open still states it";
}

TEST_F(FakeFileService, MatchesNamePatterns) {
  session.host().with_tree([](IfsTree& tree) {
    tree.add_file("/home/other/\xC3\x85se.txt", "")  // Åse.txt
        .add_file("/QOpenSys/dev/a.txt", "")
        .add_file("/QOpenSys/dev/A.txt", "");
  });
  struct Case {
    std::string pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"/home/tester/*.txt", {"notes.txt"}},
      {"/home/tester/?ata.BIN", {"data.bin"}},
      {"/home/tester/*e*", {"empty", "notes.txt"}},
      {"/QSYS.LIB/DEVLIB.LIB/Q*SRC.FILE", {"QCLSRC.FILE", "QNEWSRC.FILE", "QTXTSRC.FILE"}},
      {"/home/tester/*.none", {}},
      // Case is ignored for every letter, except in /QOpenSys.
      {"/home/other/\xC3\xA5*", {"\xC3\x85se.txt"}},
      {"/QOpenSys/dev/a*", {"a.txt"}},
      {"/qopensys/dev/A*", {"A.txt"}},
      {"/QOpenSys/dev/?.txt", {"a.txt", "A.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    const auto entries = session.run(session.ifs().list_attributes(c.pattern, c.pattern));
    ASSERT_TRUE(entries) << entries.error().text();
    EXPECT_EQ(names(*entries), c.names);
  }
}

TEST_F(FakeFileService, StatsPathsAsTheIbmiAnswersThem) {
  struct Case {
    std::string path;
    std::string name;   // of the entry, when there is one
    std::string error;  // a phrase of the error otherwise
  };
  const Case cases[] = {
      {"/", "/", ""},
      {"/HOME/Tester/NOTES.TXT", "notes.txt", ""},
      {"/qsys.lib/devlib.lib/qclsrc.file/hello.mbr", "HELLO.MBR", ""},
      {"/home/tester/../tester/./notes.txt", "notes.txt", ""},
      {"/home/shared/locked.txt", "locked.txt", ""},
      {"/home/tester/missing.txt", "", "file not found for /home/tester/missing.txt (return code 2)"},
      {"/home/nobody/notes.txt", "", "path not found for /home/nobody/notes.txt (return code 3)"},
      {"/home/tester/notes.txt/inside", "", "path not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto entry = session.run(session.ifs().stat(c.path));
    expect_outcome(entry, c.error);
    if (entry) {
      EXPECT_EQ(entry->name, c.name);
    }
  }
}

TEST_F(FakeFileService, RefusesToListWhatMayNotBeRead) {
  session.host().with_tree([](IfsTree& tree) { tree.deny_access("/home/shared"); });
  const auto listing = session.run(session.ifs().list_directory("/home/shared"));
  ASSERT_FALSE(listing);
  EXPECT_EQ(listing.error().text(), "access denied for /home/shared (return code 5)");
  const auto missing = session.run(session.ifs().list_directory("/home/nobody"));
  ASSERT_FALSE(missing);
  EXPECT_THAT(missing.error().text(), HasSubstr("path not found"));
}

TEST_F(FakeFileService, RecordsEachListingItServes) {
  session.host().clear_requests();
  ASSERT_TRUE(session.run(session.ifs().list_directory("/home/tester")));
  ASSERT_TRUE(session.run(session.ifs().stat("/home/tester/notes.txt")));
  EXPECT_THAT(
      session.host().requests(),
      ElementsAre(ServedRequest{Service::file, RequestKind::list_attributes, "/home/tester/*"},
                  ServedRequest{Service::file, RequestKind::list_attributes, "/home/tester/notes.txt"}));
}

}  // namespace
}  // namespace fake_ibmi::testing
