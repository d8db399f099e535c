// Listing directories of a fake IBM i: plain directories, libraries and source files, the three caches
// a listing fills, and what the two invalidations drop.
#include <gmock/gmock.h>

#include <functional>

#include "captured_events.hpp"
#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;
using fake_ibmi::FakeHost;
using fake_ibmi::IfsTree;
using fake_ibmi::RequestKind;
using metadata_pipe::MetadataResult;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr std::string_view kQclsrc = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE";

// An object of a library as the file server may list it, whatever its name.
void add_library_entry(FakeHost& host, std::string name) {
  host.with_tree([&name](IfsTree& tree) {
    auto node = std::make_shared<fake_ibmi::Node>();
    node->name = std::move(name);
    node->kind = fake_ibmi::NodeKind::object;
    tree.find("/QSYS.LIB/DEVLIB.LIB")->children.push_back(std::move(node));
  });
}

using ListDirectory = MountedRoot;

TEST_F(ListDirectory, ListsAPlainDirectoryAndKeepsItsEntries) {
  const auto listed = fs->list_directory("/home/tester");
  ASSERT_TRUE(listed);
  EXPECT_THAT(*listed,
              ElementsAre(DirEntry{"data.bin", built_file(100'000)}, DirEntry{"docs", built_directory()},
                          DirEntry{"empty", built_directory()}, DirEntry{"notes.txt", built_file(23)}));
  EXPECT_THAT(host.requests(), ElementsAre(file_request(RequestKind::list_attributes, "/home/tester/*")));

  EXPECT_FALSE(entry_asks("/home/tester/notes.txt"));
  EXPECT_EQ(fs->lookup_entry("/home/tester/notes.txt"), built_file(23));
  EXPECT_FALSE(entry_asks("/home/tester/docs"));
  EXPECT_FALSE(listing_asks("/home/tester"));
}

TEST_F(ListDirectory, DescribesNothingInTheLibraryFileSystemItself) {
  const auto listed = fs->list_directory("/QSYS.LIB");
  ASSERT_TRUE(listed);
  EXPECT_THAT(*listed, ElementsAre(DirEntry{"DEVLIB", built_directory()}));
  EXPECT_THAT(host.requests(), ElementsAre(file_request(RequestKind::list_attributes, "/QSYS.LIB/*")));
}

TEST_F(ListDirectory, DescribesEachTypedObjectOfALibrary) {
  for (const char* name : {"OLD.LIB", "ODD.mbr", "NODOT"}) add_library_entry(host, name);
  const auto listed = fs->list_directory("/QSYS.LIB/DEVLIB.LIB");
  ASSERT_TRUE(listed);
  EXPECT_THAT(names_of(*listed), ElementsAre("CUSTOMERS", "HELLO.clp.pgm", "NODOT", "ODD.mbr", "OLD",
                                             "QCLSRC", "QNEWSRC", "QTXTSRC", "SETTINGS.dtaara"));
  EXPECT_THAT(
      host.requests(),
      ElementsAre(file_request(RequestKind::list_attributes, "/QSYS.LIB/DEVLIB.LIB/*"),
                  command_request(RequestKind::object_description, "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"),
                  command_request(RequestKind::object_description, "/QSYS.LIB/DEVLIB.LIB/SETTINGS.DTAARA")));

  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm"),
            (MetadataResult{.path = "/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm",
                            .properties = {hello_program_properties()}}));
  EXPECT_EQ(fs->metadata_cache().get("/qsys.lib/devlib.lib/settings.dtaara"),
            (MetadataResult{.path = "/QSYS.LIB/DEVLIB.LIB/SETTINGS.dtaara",
                            .properties = {settings_area_properties()}}));
  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC"), std::nullopt);
  EXPECT_FALSE(entry_asks("/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm"));
}

// A user commonly lacks authority to some objects of a library; the IBM i then refuses their
// descriptions, and the library still opens.
TEST_F(ListDirectory, ListsAnObjectWhoseDescriptionTheIbmiRefusesUndescribedAndGoesOn) {
  struct Case {
    std::string what;
    std::function<void(FakeHost&)> refuse;
    std::string error;
  };
  const Case cases[] = {
      {"a failure return code", [](FakeHost& h) { h.fail_next(RequestKind::object_description, 0x0501); },
       "retrieve object description failed with 0x0501"},
      {"not authorized to the object",
       [](FakeHost& h) {
         h.with_tree([](IfsTree& tree) { tree.deny_access("/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"); });
       },
       "retrieve object description failed with 0x0500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock.advance(kTestLifetime);
    c.refuse(host);
    host.clear_requests();
    const CapturedEvents warnings(spdlog::level::warn);
    const auto listed = fs->list_directory("/QSYS.LIB/DEVLIB.LIB");
    ASSERT_TRUE(listed);
    EXPECT_THAT(names_of(*listed),
                ElementsAre("CUSTOMERS", "HELLO.PGM", "QCLSRC", "QNEWSRC", "QTXTSRC", "SETTINGS.dtaara"));
    EXPECT_THAT(
        host.requests(),
        ElementsAre(
            file_request(RequestKind::list_attributes, "/QSYS.LIB/DEVLIB.LIB/*"),
            command_request(RequestKind::object_description, "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"),
            command_request(RequestKind::object_description, "/QSYS.LIB/DEVLIB.LIB/SETTINGS.DTAARA")));
    EXPECT_THAT(warnings.lines(), ElementsAre("listing IBM i object without its description "
                                              "path=/QSYS.LIB/DEVLIB.LIB/HELLO.PGM error=" +
                                              c.error));

    EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"), std::nullopt);
    EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/SETTINGS.dtaara"),
              (MetadataResult{.path = "/QSYS.LIB/DEVLIB.LIB/SETTINGS.dtaara",
                              .properties = {settings_area_properties()}}));
    EXPECT_FALSE(entry_asks("/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"));
    EXPECT_FALSE(listing_asks("/QSYS.LIB/DEVLIB.LIB"));
  }
}

TEST_F(ListDirectory, DescribesEachMemberOfASourceFileAsTheDirectoryNamesIt) {
  struct Case {
    std::string directory;
    std::string library;  // and file, as the directory writes them
    std::string file;
    std::string resolved;
  };
  const Case cases[] = {
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC", "DEVLIB", "QCLSRC", std::string(kQclsrc)},
      {"/qsys.lib/devlib/qclsrc", "devlib", "qclsrc", "/QSYS.LIB/devlib.LIB/qclsrc.FILE"},
  };
  const std::string qclsrc(kQclsrc);  // the APIs take names in upper case
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory);
    host.clear_requests();
    const auto member = [&c](std::string name) {
      return MemberLocation{c.library, c.file, c.resolved + "/" + name + ".MBR"};
    };
    const auto listed = fs->list_directory(c.directory);
    ASSERT_TRUE(listed);
    EXPECT_THAT(*listed, ElementsAre(DirEntry{"EMPTY.clp", built_file(0, member("EMPTY"))},
                                     DirEntry{"HELLO.clp", built_file(240, member("HELLO"))}));
    EXPECT_THAT(host.requests(),
                ElementsAre(file_request(RequestKind::list_attributes, c.resolved + "/*"),
                            command_request(RequestKind::file_description, qclsrc),
                            command_request(RequestKind::member_description, qclsrc + "/EMPTY.MBR"),
                            command_request(RequestKind::member_description, qclsrc + "/HELLO.MBR")));

    const std::string hello = c.directory + "/HELLO.clp";
    EXPECT_EQ(fs->metadata_cache().get(hello),
              (MetadataResult{
                  .path = hello,
                  .properties = {hello_member_properties(c.resolved + "/HELLO.MBR", c.library, c.file)}}));
    EXPECT_FALSE(entry_asks(hello));
    EXPECT_EQ(fs->lookup_entry(hello), built_file(240, member("HELLO")));
  }
}

// IBM i names may hold a '.' after their first character; the description programs take none.
TEST_F(ListDirectory, LeavesOutAMemberTheDescriptionProgramsCannotNameAndListsTheRest) {
  host.with_tree([](IfsTree& tree) { tree.add_member("DEVLIB", "QCLSRC", "A.B", {.source_type = "CLP"}); });
  const CapturedEvents warnings(spdlog::level::warn);
  const auto listed = fs->list_directory(std::string(kQclsrc));
  ASSERT_TRUE(listed);
  EXPECT_THAT(names_of(*listed), ElementsAre("EMPTY.clp", "HELLO.clp"));
  EXPECT_EQ(host.count(RequestKind::member_description), 2u) << "nothing is asked of the left out member";
  EXPECT_THAT(warnings.lines(), ElementsAre("leaving out of the listing an IBM i member the APIs cannot name "
                                            "path=/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/A.B.MBR"));
  EXPECT_FALSE(listing_asks(kQclsrc));
}

TEST_F(ListDirectory, LeadsDownToAMemberByTheNamesItShows) {
  std::string path = "/";
  for (const std::string name : {"QSYS.LIB", "DEVLIB", "QCLSRC", "HELLO.clp"}) {
    const auto listed = fs->list_directory(path);
    ASSERT_TRUE(listed) << path;
    ASSERT_THAT(names_of(*listed), Contains(name)) << path;
    path = path == "/" ? "/" + name : path + "/" + name;
  }
  host.clear_requests();
  const auto entry = fs->lookup_entry(path);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->member, (MemberLocation{"DEVLIB", "QCLSRC", std::string(kQclsrc) + "/HELLO.MBR"}));
  EXPECT_TRUE(host.requests().empty());
  EXPECT_NE(fs->metadata_cache().get(path), std::nullopt);
  const auto text = fs->load_content(path, entry->member);
  ASSERT_TRUE(text);
  EXPECT_THAT(*text, StartsWith("             PGM\n"));
}

TEST_F(ListDirectory, StoresNoMemberPropertiesWhenTheListingStatesNoCcsid) {
  host.with_settings([](fake_ibmi::HostSettings& settings) { settings.list_states_ccsid = false; });
  const auto listed = fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QTXTSRC");
  ASSERT_TRUE(listed);
  const std::string note = "/QSYS.LIB/DEVLIB.LIB/QTXTSRC.FILE/NOTE.MBR";
  EXPECT_THAT(*listed,
              ElementsAre(DirEntry{"NOTE.txt", built_file(120, MemberLocation{"DEVLIB", "QTXTSRC", note})}));
  EXPECT_EQ(host.count(RequestKind::member_description), 1u);
  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QTXTSRC/NOTE.txt"), std::nullopt);
}

TEST_F(ListDirectory, FailsWholeAndKeepsNothingWhenAnyStepFails) {
  struct Case {
    std::string what;
    std::function<void(FakeHost&)> arrange;
    std::string directory;
    NtStatus status;
  };
  const auto nothing = [](FakeHost&) {};
  const Case cases[] = {
      {"a data file is no source file", nothing, "/QSYS.LIB/DEVLIB.LIB/CUSTOMERS",
       winfsp::kStatusUnexpectedNetworkError},
      {"missing directory", nothing, "/home/nobody", winfsp::kStatusObjectPathNotFound},
      {"listing refused", [](FakeHost& h) { h.fail_next(RequestKind::list_attributes, 5); }, "/home/tester",
       winfsp::kStatusAccessDenied},
      {"file description refused", [](FakeHost& h) { h.fail_next(RequestKind::file_description, 0x0501); },
       "/QSYS.LIB/DEVLIB.LIB/QCLSRC", winfsp::kStatusUnexpectedNetworkError},
      {"member description refused",
       [](FakeHost& h) { h.fail_next(RequestKind::member_description, 0x0501); },
       "/QSYS.LIB/DEVLIB.LIB/QCLSRC", winfsp::kStatusUnexpectedNetworkError},
      {"object description answered without a receiver",
       [](FakeHost& h) { h.fail_next(RequestKind::object_description, 0); }, "/QSYS.LIB/DEVLIB.LIB",
       winfsp::kStatusUnexpectedNetworkError},
      // Last, as it leaves the remote-command connection unusable.
      {"object description's connection ends",
       [](FakeHost& h) { h.drop_next(RequestKind::object_description); }, "/QSYS.LIB/DEVLIB.LIB",
       winfsp::kStatusUnexpectedNetworkError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock.advance(kTestLifetime);
    c.arrange(host);
    EXPECT_EQ(fs->list_directory(c.directory), std::unexpected(c.status));
    EXPECT_TRUE(listing_asks(c.directory)) << "a failed listing is not cached";
  }
  EXPECT_TRUE(entry_asks("/QSYS.LIB/DEVLIB.LIB/CUSTOMERS/CUSTOMERS.MBR")) << "nor are its entries";
}

TEST_F(ListDirectory, AnswersAFreshListingUnchangedAndListsAgainOnceItExpires) {
  const auto first = fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC");
  ASSERT_TRUE(first);
  host.with_tree([](IfsTree& tree) { tree.add_member("DEVLIB", "QCLSRC", "NEW", {.source_type = "CLP"}); });

  clock.advance(kTestLifetime - 1ns);
  host.clear_requests();
  EXPECT_EQ(fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC"), *first);
  EXPECT_TRUE(host.requests().empty()) << "neither a listing nor a description";

  clock.advance(1ns);
  const auto again = fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC");
  ASSERT_TRUE(again);
  EXPECT_THAT(names_of(*again), ElementsAre("EMPTY.clp", "HELLO.clp", "NEW.clp"));
  EXPECT_EQ(host.count(RequestKind::member_description), 3u);
}

TEST_F(ListDirectory, ListsAnewEveryTimeWithALifetimeOf0) {
  const auto uncached = mount("/", 0s);
  ASSERT_TRUE(uncached);
  host.clear_requests();
  EXPECT_TRUE(uncached->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC"));
  EXPECT_TRUE(uncached->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC"));
  EXPECT_EQ(host.count(RequestKind::list_attributes), 2u);
  EXPECT_EQ(host.count(RequestKind::file_description), 2u);
  EXPECT_EQ(uncached->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp"), std::nullopt);
}

class Invalidation : public MountedRoot {
 protected:
  void SetUp() override {
    MountedRoot::SetUp();
    for (const char* directory :
         {"/", "/home", "/home/tester", "/home/tester/docs", "/home/tester2", "/QSYS.LIB/DEVLIB.LIB/QCLSRC"})
      ASSERT_TRUE(fs->list_directory(directory)) << directory;
  }
};

TEST_F(Invalidation, OfAPathDropsItsEntryItsListingAndItsParentsListing) {
  fs->invalidate_path("/home/tester/docs");
  EXPECT_TRUE(entry_asks("/home/tester/docs"));
  EXPECT_FALSE(entry_asks("/home/tester/notes.txt"));
  EXPECT_FALSE(entry_asks("/home/tester/docs/readme.txt"));
  EXPECT_FALSE(listing_asks("/home"));
  EXPECT_TRUE(listing_asks("/home/tester/docs"));
  EXPECT_TRUE(listing_asks("/home/tester"));

  fs->invalidate_path("/home");
  EXPECT_TRUE(listing_asks("/")) << "the root's listing goes with a change directly below it";

  fs->invalidate_path("/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp");
  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp"), std::nullopt);
  EXPECT_NE(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC/EMPTY.clp"), std::nullopt);
}

TEST_F(Invalidation, OfATreeDropsEverythingAtAndBelowItAndItsParentsListing) {
  fs->invalidate_tree("/home/tester");
  EXPECT_TRUE(entry_asks("/home/tester/docs/readme.txt"));
  EXPECT_TRUE(entry_asks("/home/tester"));
  EXPECT_FALSE(entry_asks("/home/tester2/other.txt")) << "a sibling whose name begins the same";
  EXPECT_FALSE(listing_asks("/home/tester2"));
  EXPECT_TRUE(listing_asks("/home/tester/docs"));
  EXPECT_TRUE(listing_asks("/home"));

  fs->invalidate_tree("/QSYS.LIB/DEVLIB.LIB/QCLSRC");
  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp"), std::nullopt);
  EXPECT_EQ(fs->metadata_cache().get("/QSYS.LIB/DEVLIB.LIB/QCLSRC/EMPTY.clp"), std::nullopt);
}

TEST_F(Invalidation, DropsEveryCaseSpellingThatTheIbmITakesAsThePath) {
  constexpr std::string_view kReadme = "/HOME/Tester/docs/README.TXT";
  ASSERT_TRUE(fs->lookup_entry(kReadme));
  ASSERT_TRUE(fs->list_directory("/home/TESTER/DOCS"));
  fs->invalidate_path("/home/tester/docs/readme.txt");
  EXPECT_TRUE(entry_asks(kReadme));
  EXPECT_TRUE(entry_asks("/home/TESTER/DOCS/readme.txt")) << "as the listing of another spelling stored it";
  EXPECT_TRUE(listing_asks("/home/TESTER/DOCS"));
  EXPECT_TRUE(listing_asks("/home/tester/docs"));
  EXPECT_FALSE(entry_asks("/home/tester/notes.txt"));

  ASSERT_TRUE(fs->list_directory("/HOME/TESTER"));
  fs->invalidate_tree("/Home/Tester");
  EXPECT_TRUE(listing_asks("/HOME/TESTER"));
  EXPECT_TRUE(listing_asks("/home/tester/docs"));
  EXPECT_TRUE(entry_asks("/HOME/TESTER/docs/readme.txt"));
  EXPECT_TRUE(listing_asks("/home")) << "the parent's listing";
  EXPECT_FALSE(listing_asks("/home/tester2"));
}

TEST_F(Invalidation, KeepsTheNamesThatDifferInCaseInQOpenSys) {
  host.with_tree([](fake_ibmi::IfsTree& tree) {
    tree.add_file("/QOpenSys/dev/a.txt", "lower").add_file("/QOpenSys/dev/A.txt", "upper");
  });
  ASSERT_TRUE(fs->list_directory("/QOpenSys/dev"));
  ASSERT_TRUE(fs->list_directory("/qopensys/dev"));
  fs->invalidate_path("/QOpenSys/dev/a.txt");
  EXPECT_TRUE(entry_asks("/QOpenSys/dev/a.txt"));
  EXPECT_FALSE(entry_asks("/QOpenSys/dev/A.txt"));
  EXPECT_TRUE(listing_asks("/qopensys/dev")) << "the root ignores the case of \"QOpenSys\" itself";
}

}  // namespace
}  // namespace varlin::filesystem
