// Moving content to and from a fake IBM i: whole members and stream files, ranges, sizes, directories,
// deletes and renames, and what each change drops from the caches.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <span>

#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::FakeHost;
using fake_ibmi::IfsTree;
using fake_ibmi::RequestKind;
using fake_ibmi::ServedRequest;
using fake_ibmi::Service;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::Each;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::string_view kNotes = "/home/tester/notes.txt";
constexpr std::string_view kHelloShown = "/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp";
constexpr std::string_view kHello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
const std::vector<std::string> kHelloLines = {
    "             PGM", "             SNDPGMMSG  MSG('Hej, Æble og øl')", "             ENDPGM"};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::optional<std::vector<std::string>> hello_lines(FakeHost& host) {
  return host.with_tree([](const IfsTree& tree) { return tree.member_lines("DEVLIB", "QCLSRC", "HELLO"); });
}

// Requests of the file service, and all on one path.
auto file_requests_on(const std::string& path) {
  return AllOf(Not(IsEmpty()), Each(AllOf(Field(&ServedRequest::service, Service::file),
                                          Field(&ServedRequest::subject, path))));
}

// The description of the member's source file, then only file-service requests on the member.
void expect_member_exchange(const std::vector<ServedRequest>& requests, const std::string& source_file,
                            const std::string& member) {
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front(), command_request(RequestKind::file_description, source_file));
  EXPECT_THAT(std::vector(requests.begin() + 1, requests.end()), file_requests_on(member));
}

using ContentTransfer = MountedRoot;

TEST_F(ContentTransfer, LoadsAMemberAsTextAndAStreamFileAsItsBytes) {
  struct Case {
    std::string path;
    std::optional<MemberLocation> member;
    std::string content;
  };
  const std::string note = "/QSYS.LIB/DEVLIB.LIB/QTXTSRC.FILE/NOTE.MBR";
  const Case cases[] = {
      {std::string(kHelloShown), MemberLocation{"DEVLIB", "QCLSRC", std::string(kHello)},
       "             PGM\n             SNDPGMMSG  MSG('Hej, Æble og øl')\n             ENDPGM\n"},
      {"/QSYS.LIB/DEVLIB.LIB/QTXTSRC/NOTE.txt", MemberLocation{"DEVLIB", "QTXTSRC", note}, "Grüße €\n"},
      {std::string(kNotes), std::nullopt, "first line\nsecond line\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host.clear_requests();
    EXPECT_EQ(fs->load_content(c.path, c.member), c.content);
    if (c.member) {
      expect_member_exchange(host.requests(), c.member->path.substr(0, c.member->path.rfind('/')),
                             c.member->path);
    } else {
      EXPECT_THAT(host.requests(), file_requests_on(c.path));
    }
  }
}

TEST_F(FakeHostMount, LoadsNothingLargerThanTheLargestBufferableSize) {
  MountSettings settings = settings_for("/");
  settings.max_file_size = 23;
  const auto mounted = IfsFileSystem::connect(std::move(settings));
  ASSERT_TRUE(mounted);
  const auto& fs = *mounted;
  EXPECT_EQ(fs->load_content(kNotes, std::nullopt), "first line\nsecond line\n") << "23 bytes";
  host.with_tree([](IfsTree& tree) { tree.find(kNotes)->data.push_back('!'); });
  EXPECT_EQ(fs->load_content(kNotes, std::nullopt), std::unexpected(winfsp::kStatusUnexpectedNetworkError));
  EXPECT_EQ(fs->load_content(kHelloShown, MemberLocation{"DEVLIB", "QCLSRC", std::string(kHello)}),
            std::unexpected(winfsp::kStatusUnexpectedNetworkError))
      << "a member of 240 bytes";
}

TEST_F(ContentTransfer, ReportsWhyAContentCannotBeLoaded) {
  EXPECT_EQ(fs->load_content("/home/tester/missing.txt", std::nullopt),
            std::unexpected(winfsp::kStatusObjectNameNotFound));
  const std::string none = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/NONE.MBR";
  EXPECT_EQ(
      fs->load_content("/QSYS.LIB/DEVLIB.LIB/QCLSRC/NONE.clp", MemberLocation{"DEVLIB", "QCLSRC", none}),
      std::unexpected(winfsp::kStatusObjectNameNotFound));
  host.fail_next(RequestKind::file_description, 0x0501);
  EXPECT_EQ(fs->load_content(kHelloShown, MemberLocation{"DEVLIB", "QCLSRC", std::string(kHello)}),
            std::unexpected(winfsp::kStatusUnexpectedNetworkError));
  EXPECT_EQ(host.count(RequestKind::open_file), 2u) << "no member is opened without its record length";
}

TEST_F(ContentTransfer, ReplacesAMembersWholeTextWhateverTheFlags) {
  struct Case {
    std::string path;
    bool create;
    bool overwrite;
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {std::string(kHelloShown), false, true, "A\nB æ\n", {"A", "B æ"}},
      {std::string(kHelloShown), true, false, "one line", {"one line"}},
      {"/qsys.lib/devlib/qclsrc/hello.clp", false, true, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host.clear_requests();
    EXPECT_TRUE(fs->store_content(c.path, c.text, c.create, c.overwrite));
    EXPECT_EQ(hello_lines(host), c.lines);
  }
  expect_member_exchange(host.requests(), "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE",
                         "/QSYS.LIB/devlib.LIB/qclsrc.FILE/hello.MBR");
}

TEST_F(ContentTransfer, NeverSendsAMemberTextThatIsNotUtf8) {
  EXPECT_EQ(fs->store_content(kHelloShown, "A\n\xC3(\n", false, true),
            std::unexpected(winfsp::kStatusIllegalCharacter));
  EXPECT_THAT(host.requests(), IsEmpty());
  EXPECT_EQ(hello_lines(host), kHelloLines);

  // A stream file holds bytes, whatever they are.
  EXPECT_TRUE(fs->store_content("/home/tester/raw.bin", "\xC3(\xFF", true, false));
  EXPECT_EQ(file_text(host, "/home/tester/raw.bin"), "\xC3(\xFF");
}

TEST_F(ContentTransfer, CreatesAndOverwritesStreamFilesAsTheFlagsSay) {
  struct Step {
    std::string what;
    std::string path;
    std::string content;
    bool create;
    bool overwrite;
    StatusResult<void> result;
    std::optional<std::string> stored;
  };
  const std::string fresh = "/home/tester/new.txt";
  const Step steps[] = {
      {"create a new file", fresh, "", true, false, {}, ""},
      {"create it again", fresh, "x", true, false, std::unexpected(winfsp::kStatusObjectNameCollision), ""},
      {"write it back", fresh, "longer text", false, true, {}, "longer text"},
      {"write back a shorter text", fresh, "short", false, true, {}, "short"},
      {"write back a missing file", "/home/tester/gone.txt", "x", false, true,
       std::unexpected(winfsp::kStatusObjectNameNotFound), std::nullopt},
      {"create in a missing directory", "/home/nobody/x.txt", "", true, false,
       std::unexpected(winfsp::kStatusObjectPathNotFound), std::nullopt},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(fs->store_content(step.path, step.content, step.create, step.overwrite), step.result);
    EXPECT_EQ(file_text(host, step.path), step.stored);
  }
}

TEST_F(ContentTransfer, ReadsAndWritesRangesOfAStreamFile) {
  const auto read = [this](std::uint64_t offset, std::uint32_t length) -> StatusResult<std::string> {
    auto bytes = fs->read_range(kNotes, offset, length);
    if (!bytes) return std::unexpected(bytes.error());
    return std::string(bytes->begin(), bytes->end());
  };
  EXPECT_EQ(read(6, 4), "line");
  EXPECT_EQ(read(20, 100), "ne\n");
  EXPECT_EQ(read(23, 10), "");
  EXPECT_EQ(fs->read_range("/home/tester/missing.txt", 0, 1),
            std::unexpected(winfsp::kStatusObjectNameNotFound));

  EXPECT_EQ(fs->write_range(kNotes, 0, bytes_of("FIRST")), 5u);
  EXPECT_EQ(fs->write_range(kNotes, 23, bytes_of("third\n")), 6u);
  EXPECT_EQ(file_text(host, kNotes), "FIRST line\nsecond line\nthird\n");
  EXPECT_EQ(fs->write_range("/home/tester/missing.txt", 0, bytes_of("x")),
            std::unexpected(winfsp::kStatusObjectNameNotFound));
  EXPECT_FALSE(exists(host, "/home/tester/missing.txt")) << "a range is never written to a new file";
}

TEST_F(ContentTransfer, ChangesTheSizeOfAStreamFile) {
  EXPECT_TRUE(fs->set_remote_size(kNotes, 5));
  EXPECT_EQ(file_text(host, kNotes), "first");
  EXPECT_TRUE(fs->set_remote_size(kNotes, 8));
  EXPECT_EQ(file_text(host, kNotes), std::string("first\0\0\0", 8));
  EXPECT_EQ(fs->set_remote_size("/home/tester/missing.txt", 0),
            std::unexpected(winfsp::kStatusObjectNameNotFound));
}

TEST_F(ContentTransfer, CreatesRemovesAndRenames) {
  struct Step {
    std::string what;
    std::function<StatusResult<void>(IfsFileSystem&)> change;
    StatusResult<void> result;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const auto failed = [](NtStatus status) { return StatusResult<void>(std::unexpected(status)); };
  const Step steps[] = {
      {"make a directory",
       [](IfsFileSystem& f) { return f.create_directory("/home/tester/made"); },
       {},
       {"/home/tester/made"},
       {}},
      {"make it again",
       [](IfsFileSystem& f) { return f.create_directory("/home/tester/made"); },
       failed(winfsp::kStatusObjectNameCollision),
       {"/home/tester/made"},
       {}},
      {"make one in a missing directory",
       [](IfsFileSystem& f) { return f.create_directory("/home/nobody/x"); },
       failed(winfsp::kStatusObjectPathNotFound),
       {},
       {"/home/nobody"}},
      {"remove a directory that is not empty",
       [](IfsFileSystem& f) { return f.remove_path("/home/tester/docs"); },
       failed(winfsp::kStatusDirectoryNotEmpty),
       {"/home/tester/docs", "/home/tester/docs/readme.txt"},
       {}},
      {"remove an empty directory",
       [](IfsFileSystem& f) { return f.remove_path("/home/tester/made"); },
       {},
       {},
       {"/home/tester/made"}},
      {"remove a file",
       [](IfsFileSystem& f) { return f.remove_path("/home/tester/docs/readme.txt"); },
       {},
       {"/home/tester/docs"},
       {"/home/tester/docs/readme.txt"}},
      {"remove a missing file",
       [](IfsFileSystem& f) { return f.remove_path("/home/tester/docs/readme.txt"); },
       failed(winfsp::kStatusObjectNameNotFound),
       {},
       {}},
      {"rename a file",
       [](IfsFileSystem& f) { return f.rename_path(kNotes, "/home/tester/renamed.txt", false); },
       {},
       {"/home/tester/renamed.txt"},
       {std::string(kNotes)}},
      {"rename onto a file",
       [](IfsFileSystem& f) {
         return f.rename_path("/home/tester/renamed.txt", "/home/tester2/other.txt", false);
       },
       failed(winfsp::kStatusObjectNameCollision),
       {"/home/tester/renamed.txt", "/home/tester2/other.txt"},
       {}},
      {"replace a file",
       [](IfsFileSystem& f) {
         return f.rename_path("/home/tester/renamed.txt", "/home/tester2/other.txt", true);
       },
       {},
       {"/home/tester2/other.txt"},
       {"/home/tester/renamed.txt"}},
      {"move a directory",
       [](IfsFileSystem& f) { return f.rename_path("/home/tester/docs", "/home/docs", false); },
       {},
       {"/home/docs"},
       {"/home/tester/docs"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.change(*fs), step.result);
    for (const auto& path : step.present) EXPECT_TRUE(exists(host, path)) << path;
    for (const auto& path : step.absent) EXPECT_FALSE(exists(host, path)) << path;
  }
  EXPECT_EQ(file_text(host, "/home/tester2/other.txt"), "first line\nsecond line\n");
  EXPECT_EQ(host.count(RequestKind::delete_file), 1u) << "a directory that is not empty is not walked";
}

TEST_F(ContentTransfer, AnswersByTheReturnCodeWhateverThePathSays) {
  host.with_tree([](IfsTree& tree) {
    tree.add_directory("/home/file not found/made").add_file("/home/access denied/full/x", "x");
  });
  EXPECT_EQ(fs->create_directory("/home/file not found/made"),
            std::unexpected(winfsp::kStatusObjectNameCollision));
  EXPECT_EQ(fs->lookup_entry("/home/file not found/missing/x"),
            std::unexpected(winfsp::kStatusObjectPathNotFound));
  EXPECT_EQ(fs->remove_path("/home/access denied/full"), std::unexpected(winfsp::kStatusDirectoryNotEmpty));
}

// A mount whose caches hold every directory of the home folders and of the CL source file.
class CachedChanges : public MountedRoot {
 protected:
  void SetUp() override {
    MountedRoot::SetUp();
    prime();
  }

  void prime() {
    for (const char* directory :
         {"/home", "/home/tester", "/home/tester/docs", "/home/tester2", "/QSYS.LIB/DEVLIB.LIB/QCLSRC"})
      (void)fs->list_directory(directory);
  }
};

TEST_F(CachedChanges, EachChangeDropsItsPathAndItsParentsListingOnly) {
  struct Case {
    std::string what;
    std::function<bool(IfsFileSystem&)> change;
    std::string path;     // its entry and its parent's listing are asked for again
    std::string sibling;  // its entry stays
  };
  const std::string notes(kNotes);
  const std::string readme = "/home/tester/docs/readme.txt";
  const Case cases[] = {
      {"write a range", [](IfsFileSystem& f) { return f.write_range(kNotes, 0, bytes_of("F")).has_value(); },
       notes, "/home/tester/empty"},
      {"change a size", [](IfsFileSystem& f) { return f.set_remote_size(kNotes, 3).has_value(); }, notes,
       "/home/tester/empty"},
      {"store a stream file",
       [](IfsFileSystem& f) { return f.store_content(kNotes, "x", false, true).has_value(); }, notes,
       "/home/tester/empty"},
      {"store a member",
       [](IfsFileSystem& f) { return f.store_content(kHelloShown, "x", false, true).has_value(); },
       std::string(kHelloShown), "/QSYS.LIB/DEVLIB.LIB/QCLSRC/EMPTY.clp"},
      {"make a directory",
       [](IfsFileSystem& f) { return f.create_directory("/home/tester/made").has_value(); },
       "/home/tester/made", notes},
      {"remove a file",
       [](IfsFileSystem& f) { return f.remove_path("/home/tester/docs/readme.txt").has_value(); }, readme,
       notes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prime();
    ASSERT_TRUE(c.change(*fs));
    EXPECT_EQ(fs->metadata_cache().get(c.path), std::nullopt);
    EXPECT_FALSE(entry_asks(c.sibling));
    EXPECT_FALSE(listing_asks("/home/tester2"));
    EXPECT_TRUE(entry_asks(c.path));
    EXPECT_TRUE(listing_asks(parent_path(c.path)));
  }
  EXPECT_EQ(fs->lookup_entry(kNotes)->size, 1u) << "as the last change left it";
}

TEST_F(CachedChanges, ARenameDropsTheTreesOfBothPaths) {
  ASSERT_TRUE(fs->rename_path("/home/tester/docs", "/home/tester2/docs", false));
  EXPECT_FALSE(entry_asks("/home/tester/notes.txt"));
  EXPECT_FALSE(listing_asks("/home"));
  EXPECT_TRUE(entry_asks("/home/tester/docs/readme.txt"));
  EXPECT_TRUE(listing_asks("/home/tester"));
  EXPECT_TRUE(listing_asks("/home/tester2"));
  const auto moved = fs->list_directory("/home/tester2/docs");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->size(), 1u);
}

TEST_F(CachedChanges, AChangeToAMemberReachesEverySpellingOfIt) {
  struct Spelling {
    std::string directory;
    std::string member;
  };
  const Spelling shown{"/QSYS.LIB/DEVLIB/QCLSRC", "/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp"};
  const Spelling named{"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE", std::string(kHello)};
  const std::pair<Spelling, Spelling> cases[] = {{shown, named}, {named, shown}};
  const std::uint64_t kRecordText = 80;
  std::string text = "PGM\nSNDPGMMSG\nENDPGM\n";  // one line more than the member holds
  for (const auto& [read, changed] : cases) {
    SCOPED_TRACE("read as " + read.member + ", changed as " + changed.member);
    ASSERT_TRUE(fs->list_directory(read.directory));
    ASSERT_TRUE(fs->lookup_entry(read.member));
    MetadataCache pipe_side = fs->metadata_cache();
    pipe_side.insert(
        read.member,
        {.path = read.member, .properties = {hello_member_properties(named.member, "DEVLIB", "QCLSRC")}});

    text += "X\n";
    ASSERT_TRUE(fs->store_content(changed.member, text, false, true));
    EXPECT_EQ(fs->metadata_cache().get(read.member), std::nullopt);
    const std::uint64_t size = std::ranges::count(text, '\n') * kRecordText;
    EXPECT_EQ(fs->lookup_entry(read.member)->size, size);
    const auto listed = fs->list_directory(read.directory);
    ASSERT_TRUE(listed);
    const auto hello = std::ranges::find(*listed, "HELLO.clp", &DirEntry::name);
    ASSERT_NE(hello, listed->end());
    EXPECT_EQ(hello->entry.size, size);
  }
}

TEST_F(CachedChanges, ADeletedObjectLeavesItsLibraryUnderEverySpelling) {
  const std::string shown = "/QSYS.LIB/DEVLIB/SETTINGS.dtaara";
  ASSERT_TRUE(fs->list_directory("/QSYS.LIB/DEVLIB"));
  ASSERT_TRUE(fs->lookup_entry(shown));
  ASSERT_NE(fs->metadata_cache().get(shown), std::nullopt);

  ASSERT_TRUE(fs->remove_path("/qsys.lib/devlib.lib/settings.dtaara"));
  EXPECT_EQ(fs->lookup_entry(shown), std::unexpected(winfsp::kStatusObjectNameNotFound));
  const auto listed = fs->list_directory("/QSYS.LIB/DEVLIB");
  ASSERT_TRUE(listed);
  EXPECT_THAT(names_of(*listed), Not(Contains("SETTINGS.dtaara")));
  EXPECT_EQ(fs->metadata_cache().get(shown), std::nullopt);
}

TEST_F(CachedChanges, AFailedChangeDropsNothing) {
  EXPECT_EQ(fs->remove_path("/home/tester/docs"), std::unexpected(winfsp::kStatusDirectoryNotEmpty));
  EXPECT_FALSE(entry_asks("/home/tester/docs/readme.txt"));
  EXPECT_FALSE(listing_asks("/home/tester"));
  EXPECT_FALSE(listing_asks("/home/tester/docs"));
}

// The IBM i may hold some chunks of a write that failed: the next look at the file asks it.
TEST_F(CachedChanges, AFailedWriteOrAppendDropsThePathsEntryAndItsFoldersListing) {
  const std::function<bool()> writes[] = {
      [this] { return fs->write_range(kNotes, 0, bytes_of("F")).has_value(); },
      [this] { return fs->append_range(kNotes, bytes_of("F")).has_value(); },
  };
  for (const auto& write : writes) {
    ASSERT_TRUE(fs->lookup_entry(kNotes));
    ASSERT_TRUE(fs->list_directory("/home/tester"));
    host.fail_next(RequestKind::write_file, 5);
    EXPECT_FALSE(write());
    EXPECT_TRUE(entry_asks(kNotes));
    EXPECT_TRUE(listing_asks("/home/tester"));
  }
}

}  // namespace
}  // namespace varlin::filesystem
