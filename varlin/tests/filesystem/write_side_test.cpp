// The write-side operations on a mount's context against the fake IBM i: when a member's buffered text
// goes back, what a delete and an overwrite do, and that no change is lost without a word.
#include <gmock/gmock.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

constexpr std::u16string_view kNotes = u"\\home\\dev\\notes.txt";
constexpr std::string_view kNotesPath = "/home/dev/notes.txt";
const std::vector<std::string> kHelloLines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"};

std::vector<std::string> with_first_line(std::string line) {
  std::vector<std::string> lines = kHelloLines;
  lines.front() = std::move(line);
  return lines;
}

// The line that tells the user of HELLO's lost changes, refused with "access denied".
auto hello_lost_for_access_denied() {
  return AllOf(StartsWith("Changes to /QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR are lost: "),
               HasSubstr("access denied"), EndsWith("\n"));
}

class WriteSide : public OperationsTest {
 protected:
  std::optional<std::vector<std::string>> hello_lines() {
    return host.with_tree(
        [](const fake_ibmi::IfsTree& tree) { return tree.member_lines("OPSLIB", "QCLSRC", "HELLO"); });
  }

  // A directory of the tree that the mount has not looked at yet.
  OpenFileRef opened_directory(std::string_view path, std::u16string_view shown) {
    host.with_tree([path](fake_ibmi::IfsTree& tree) { tree.add_directory(path); });
    return opened(shown);
  }

  void add_file(std::string_view path) {
    host.with_tree([path](fake_ibmi::IfsTree& tree) { tree.add_file(path, "x"); });
  }

  // WriteFile on a handle opened with FILE_APPEND_DATA: WinFsp asks to write to the end of the file.
  void append(const OpenFileRef& file, std::string_view text) {
    auto written = fs_->write(file, std::as_bytes(std::span(text)), 0, true, false, info_);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, text.size());
  }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

TEST_F(WriteSide, AMembersChangesGoBackAtCleanupAndAtClose) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  fs_->cleanup(member, 0);
  EXPECT_FALSE(member->file.text->dirty);
  EXPECT_EQ(hello_lines(), with_first_line("XGM"));

  write(member, "Y", 1);
  fs_->close(member);
  EXPECT_EQ(hello_lines(), with_first_line("XYM"));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

TEST_F(WriteSide, AWriteBackThatFailsAtCleanupIsTriedAgainAtClose) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::open_file, kAccessDenied);
  fs_->cleanup(member, 0);
  EXPECT_TRUE(member->file.text->dirty);
  EXPECT_EQ(hello_lines(), kHelloLines);
  fs_->close(member);
  EXPECT_EQ(hello_lines(), with_first_line("XGM"));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

TEST_F(WriteSide, AFailedFlushKeepsTheChangesForTheNextFlush) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::open_file, kAccessDenied);
  EXPECT_EQ(fs_->flush(member, info_).error(), OperationError(winfsp::kStatusAccessDenied));
  EXPECT_TRUE(member->file.text->dirty);
  EXPECT_EQ(hello_lines(), kHelloLines);

  ASSERT_TRUE(fs_->flush(member, info_));
  EXPECT_FALSE(member->file.text->dirty);
  EXPECT_EQ(hello_lines(), with_first_line("XGM"));
}

TEST_F(WriteSide, ATextTheMemberCannotHoldLeavesTheMemberUntouched) {
  struct Case {
    std::string what;
    std::string text;
    NtStatus status;  // one that names the cause, never a network error
  };
  const Case cases[] = {
      {"a line longer than the record's 80 bytes of text", "PGM\n" + std::string(81, 'A') + "\n",
       winfsp::kStatusInvalidParameter},
      {"a character outside CCSID 277", "PGM\nSNDPGMMSG MSG('中')\n", winfsp::kStatusUnmappableCharacter},
      {"a byte-order mark", "\xEF\xBB\xBFPGM\n", winfsp::kStatusUnmappableCharacter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto member = opened(kHello);
    ASSERT_TRUE(fs_->overwrite(member, 0, info_));
    write(member, c.text, 0);
    host.clear_requests();
    EXPECT_EQ(fs_->flush(member, info_), fail(c.status));
    EXPECT_TRUE(member->file.text->dirty);
    EXPECT_EQ(hello_lines(), kHelloLines);
    EXPECT_EQ(host.count(RequestKind::open_file), 1u) << "opened to learn its CCSID, not for replacement";
    EXPECT_EQ(host.count(RequestKind::write_file), 0u);
  }
}

TEST_F(WriteSide, AMembersDeleteOnCloseIsIgnoredAndItsTextWrittenBackAtClose) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.clear_requests();
  fs_->cleanup(member, kCleanupDelete);
  EXPECT_THAT(host.requests(), IsEmpty()) << "neither deleted nor written back at that cleanup";
  fs_->close(member);
  EXPECT_EQ(hello_lines(), with_first_line("XGM"));
}

TEST_F(WriteSide, SetDeleteFalseWithdrawsTheMark) {
  const auto file = opened(kNotes);
  ASSERT_TRUE(fs_->set_delete(file, true));
  EXPECT_TRUE(file->file.delete_pending);
  ASSERT_TRUE(fs_->set_delete(file, false));
  EXPECT_FALSE(file->file.delete_pending);
  fs_->cleanup(file, 0);
  EXPECT_TRUE(exists(host, kNotesPath));
}

TEST_F(WriteSide, WriteToEndOfFileAppendsAtTheSize) {
  const std::string tail = "AB\n";
  const auto file = opened(kNotes);
  EXPECT_EQ(fs_->write(file, std::as_bytes(std::span(tail)), 3, true, false, info_), 3u);
  EXPECT_EQ(info_.FileSize, 13u);
  EXPECT_EQ(file_text(host, kNotesPath), "0123456789AB\n");

  const auto member = opened(kHello);
  EXPECT_EQ(fs_->write(member, std::as_bytes(std::span(tail)), 0, true, false, info_), 3u);
  ASSERT_TRUE(fs_->flush(member, info_));
  EXPECT_EQ(hello_lines(), (std::vector<std::string>{"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM", "AB"}));
}

TEST_F(WriteSide, TwoProgramsAppendingToOneLogKeepBothLines) {
  const auto first = opened(kNotes);
  const auto second = opened(kNotes);
  append(first, "line from A\n");
  append(second, "line from B\n");
  EXPECT_EQ(file_text(host, kNotesPath), "0123456789line from A\nline from B\n");
  EXPECT_EQ(info_.FileSize, 34u) << "the second handle's size follows the file";
  append(first, "again A\n");
  EXPECT_EQ(file_text(host, kNotesPath), "0123456789line from A\nline from B\nagain A\n");
}

TEST_F(WriteSide, AnAppendThroughAnOlderHandleLandsAtTheEndThatAnotherHandleMade) {
  struct Case {
    std::string what;
    std::function<void(const OpenFileRef&)> grow;
    std::string grown;
  };
  const Case cases[] = {
      {"a write past the end", [this](const OpenFileRef& other) { write(other, "ABCDE", 10); },
       "0123456789ABCDE"},
      {"a larger size",
       [this](const OpenFileRef& other) { ASSERT_TRUE(fs_->set_file_size(other, 12, false, info_)); },
       std::string("0123456789\0\0", 12)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.with_tree([](fake_ibmi::IfsTree& tree) { tree.find(kNotesPath)->data.resize(10); });
    const auto earlier = opened(kNotes);
    c.grow(opened(kNotes));
    append(earlier, "tail\n");
    EXPECT_EQ(file_text(host, kNotesPath), c.grown + "tail\n");
    EXPECT_EQ(info_.FileSize, c.grown.size() + 5);
  }
}

TEST_F(WriteSide, OverwriteEmptiesTheFileWhateverTheAllocationSize) {
  const auto file = opened(kNotes);
  ASSERT_TRUE(fs_->overwrite(file, 4, info_));
  EXPECT_EQ(info_.FileSize, 0u);
  EXPECT_EQ(file_text(host, kNotesPath), "");

  const auto member = opened(kHello);
  ASSERT_TRUE(fs_->overwrite(member, 4, info_));
  EXPECT_EQ(info_.FileSize, 0u);
  EXPECT_EQ(read_all(member), "");
  EXPECT_TRUE(member->file.text->dirty);
  ASSERT_TRUE(fs_->flush(member, info_));
  EXPECT_EQ(hello_lines(), std::vector<std::string>());

  const auto directory = opened(u"\\home\\dev");
  EXPECT_EQ(fs_->overwrite(directory, 0, info_).error(), OperationError(winfsp::kStatusFileIsADirectory));
}

TEST_F(WriteSide, ACreatedFileIsEmptyWhateverTheAllocationSize) {
  winfsp::FSP_FSCTL_OPEN_FILE_INFO created_info{};
  auto created = fs_->create(name(u"\\home\\dev\\new.txt"), 0, 0, 4096, created_info);
  ASSERT_TRUE(created);
  EXPECT_EQ(created_info.FileInfo.FileSize, 0u);
  EXPECT_EQ(created_info.FileInfo.AllocationSize, 0u);
  EXPECT_EQ(file_text(host, "/home/dev/new.txt"), "");
  write(*created, "abc", 0);
  EXPECT_EQ(file_text(host, "/home/dev/new.txt"), "abc");
}

TEST_F(WriteSide, ADirectoryWithEntriesOnTheIbmICannotBeMarkedForDeletion) {
  const auto sub = opened(u"\\home\\dev\\sub");
  EXPECT_EQ(fs_->set_delete(sub, true).error(), OperationError(winfsp::kStatusDirectoryNotEmpty));
  EXPECT_FALSE(sub->file.delete_pending);

  // The mount's caches hold the directory empty; a file arrives by another route.
  const auto empty = opened_directory("/home/dev/empty", u"\\home\\dev\\empty");
  EXPECT_EQ(list(empty).names, (std::vector<std::u16string>{u".", u".."}));
  add_file("/home/dev/empty/late.txt");
  EXPECT_EQ(fs_->set_delete(empty, true).error(), OperationError(winfsp::kStatusDirectoryNotEmpty));

  host.with_tree([](fake_ibmi::IfsTree& tree) { tree.find("/home/dev/empty")->children.clear(); });
  ASSERT_TRUE(fs_->set_delete(empty, true));
  fs_->cleanup(empty, kCleanupDelete);
  EXPECT_FALSE(exists(host, "/home/dev/empty"));
}

TEST_F(WriteSide, ADeleteTheIbmIRefusesAtCleanupLeavesTheObjectToBeSeenAgain) {
  const auto directory = opened_directory("/home/dev/kept", u"\\home\\dev\\kept");
  ASSERT_TRUE(fs_->set_delete(directory, true));
  ASSERT_TRUE(fs_->lookup_entry("/home/dev/kept"));
  ASSERT_TRUE(fs_->list_directory("/home/dev"));
  add_file("/home/dev/kept/late.txt");

  fs_->cleanup(directory, kCleanupDelete);
  EXPECT_TRUE(exists(host, "/home/dev/kept"));
  host.clear_requests();
  EXPECT_TRUE(fs_->lookup_entry("/home/dev/kept"));
  EXPECT_TRUE(fs_->list_directory("/home/dev"));
  EXPECT_EQ(host.count(RequestKind::list_attributes), 2u) << "both asked of the IBM i again";
}

// Windows was told at SetDelete that the object may go, so a refusal at Cleanup is the user's to hear.
TEST_F(WriteSide, ADeleteTheIbmIRefusesAtCleanupIsToldWithTheReasonWithoutLogging) {
  struct Case {
    std::string name;
    std::function<void(std::string_view path)> refuse;
    std::string reason;
  };
  const Case cases[] = {
      {"unauthorized",
       [this](std::string_view) { host.fail_next(RequestKind::delete_directory, kAccessDenied); },
       "access denied"},
      {"in use by another job",
       [this](std::string_view) { host.fail_next(RequestKind::delete_directory, 1); }, "file is in use"},
      {"filled after SetDelete", [this](std::string_view path) { add_file(std::string(path) + "/late.txt"); },
       "directory is not empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lost_changes_.clear();
    const std::string path = "/home/dev/" + c.name;
    const auto directory =
        opened_directory(path, u"\\home\\dev\\" + std::u16string(c.name.begin(), c.name.end()));
    ASSERT_TRUE(fs_->set_delete(directory, true));
    c.refuse(path);
    fs_->cleanup(directory, kCleanupDelete);
    fs_->close(directory);
    EXPECT_TRUE(exists(host, path));
    EXPECT_THAT(lost_changes_, ElementsAre(AllOf(StartsWith(path + " was not deleted: "), HasSubstr(c.reason),
                                                 EndsWith("; it is still on the IBM i\n"))));
  }
}

// Windows was told at SetDelete that the file may go; at the last Cleanup the IBM i answers, or not, and
// the user hears only what is true. The answer that never came is the last: the connection is gone then.
TEST_F(WriteSide, ADeleteAtCleanupIsToldAsTheIbmIAnsweredIt) {
  struct Case {
    std::string name;
    std::function<void()> answer;
    std::string line;  // after the path; empty: no line
  };
  const Case cases[] = {
      {"deleted-by-another-user", [this] { host.fail_next(RequestKind::delete_file, 2); }, ""},
      {"folder-deleted-by-another-user", [this] { host.fail_next(RequestKind::delete_file, 3); }, ""},
      {"unauthorized", [this] { host.fail_next(RequestKind::delete_file, kAccessDenied); },
       " was not deleted: .*access denied.*; it is still on the IBM i\n"},
      {"unanswered", [this] { host.drop_next(RequestKind::delete_file); },
       " may not have been deleted: .*; look on the IBM i\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lost_changes_.clear();
    const std::string path = "/home/dev/" + c.name + ".txt";
    add_file(path);
    const auto file = opened(u"\\home\\dev\\" + std::u16string(c.name.begin(), c.name.end()) + u".txt");
    ASSERT_TRUE(fs_->set_delete(file, true));
    c.answer();
    fs_->cleanup(file, kCleanupDelete);
    fs_->close(file);
    if (c.line.empty()) {
      EXPECT_THAT(lost_changes_, IsEmpty());
    } else {
      EXPECT_THAT(lost_changes_, ElementsAre(MatchesRegex(path + c.line)));
    }
    if (c.name == "unanswered") continue;
    host.clear_requests();
    EXPECT_TRUE(fs_->lookup_entry(path));
    EXPECT_EQ(host.count(RequestKind::list_attributes), 1u) << "asked of the IBM i again";
  }
}

TEST_F(WriteSide, ADeleteHappensAtTheCleanupOfTheLastHandleOnly) {
  const auto first = opened(kNotes);
  const auto second = opened(kNotes);
  ASSERT_TRUE(fs_->set_delete(first, true));
  fs_->cleanup(first, 0);
  EXPECT_TRUE(exists(host, kNotesPath)) << "WinFsp passes the delete to the last handle's cleanup";
  fs_->cleanup(second, kCleanupDelete);
  EXPECT_FALSE(exists(host, kNotesPath));
}

TEST_F(WriteSide, ChangesLostAtCloseAreToldWithoutLogging) {
  auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::open_file, kAccessDenied);
  fs_->close(std::move(member));
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost_for_access_denied()));
  EXPECT_EQ(hello_lines(), kHelloLines);
}

TEST_F(WriteSide, UnmountWritesBackEveryMemberStillOpenWithChanges) {
  const auto changed = opened(kHello);
  const auto unchanged = opened(u"\\QSYS.LIB\\DEVLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  write(changed, "X", 0);
  host.clear_requests();
  fs_.reset();
  EXPECT_EQ(hello_lines(), with_first_line("XGM"));
  EXPECT_EQ(host.count(RequestKind::file_description), 1u) << "the member without changes sends nothing";
  EXPECT_THAT(lost_changes_, IsEmpty());
}

TEST_F(WriteSide, ChangesThatCannotGoBackAtUnmountAreTold) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::open_file, kAccessDenied);
  fs_.reset();
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost_for_access_denied()));
  EXPECT_EQ(hello_lines(), kHelloLines);
}

TEST_F(WriteSide, AWriteOfNoBytesPastTheEndOfAMemberReachesTheIbmI) {
  const auto member = opened(kHello);
  const std::string nothing;
  EXPECT_EQ(fs_->write(member, std::as_bytes(std::span(nothing)), 40, false, false, info_), 0u);
  EXPECT_EQ(info_.FileSize, 40u);
  EXPECT_TRUE(member->file.text->dirty);
  ASSERT_TRUE(fs_->flush(member, info_));
  EXPECT_EQ(hello_lines(), (std::vector<std::string>{"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM", ""}));
}

}  // namespace
}  // namespace varlin::filesystem
