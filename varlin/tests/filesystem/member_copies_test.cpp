// A member has many names in its source file: HELLO.clp, HELLO.MBR, hello.clp, HELLO.bak and HELLO.clp~
// all name HELLO. Windows programs take them for different files: a copy from one onto another, as a
// user's backup or an editor's makes it, reads and writes the one member.
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "copy_name.hpp"
#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

constexpr std::u16string_view kHelloClp = u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp";
constexpr std::u16string_view kHelloBak = u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.bak";
const std::vector<std::string> kHelloLines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"};
// Longer than a record of its file, as a line of blanks of its size would be.
const std::vector<std::string> kLongLines = {
    "PGM        PARM(&ORDER &CUSTOMER)",
    "DCL        VAR(&ORDER) TYPE(*CHAR) LEN(10)",
    "DCL        VAR(&CUSTOMER) TYPE(*CHAR) LEN(10)",
    "CALL       PGM(ORDERS) PARM(&ORDER &CUSTOMER)",
    "MONMSG     MSGID(CPF0000) EXEC(GOTO CMDLBL(ERROR))",
    "SNDPGMMSG  MSG('Order placed') MSGTYPE(*COMP)",
    "ERROR:     ENDPGM",
};

// How a copy program sizes its destination before the data and how it moves the data: CopyFile gives
// the source's size as the allocation, other copy loops set the end of file, some both, some neither.
struct CopyWay {
  std::string what;
  bool allocation = false;
  bool end_of_file = false;
  std::uint64_t chunk = 16;
  bool source_closed_first = false;
};

const CopyWay kCopyFile{.what = "CopyFile", .allocation = true};

class MemberCopies : public OperationsTest {
 protected:
  void SetUp() override {
    OperationsTest::SetUp();
    host.with_tree([](fake_ibmi::IfsTree& tree) {
      tree.add_member("OPSLIB", "QCLSRC", "LONG", {.lines = kLongLines, .source_type = "CLP"});
    });
  }

  std::vector<std::string> lines_of(std::string_view member) {
    return host
        .with_tree([member](const fake_ibmi::IfsTree& tree) {
          return tree.member_lines("OPSLIB", "QCLSRC", member);
        })
        .value_or(std::vector<std::string>{"(no member)"});
  }

  // The source opened; the destination opened and replaced, then sized as the way says; the source read
  // and what it gave written, a chunk at a time; the time copied; both cleaned up and closed.
  void copy(std::u16string_view from, std::u16string_view to, const CopyWay& way = kCopyFile) {
    const auto source = opened(from);
    const auto destination = opened(to);
    ASSERT_TRUE(fs_->get_file_info(source, info_));
    const std::uint64_t size = info_.FileSize;
    ASSERT_TRUE(fs_->overwrite(destination, 0, info_));
    if (way.allocation) ASSERT_TRUE(fs_->set_file_size(destination, size, true, info_));
    if (way.end_of_file) ASSERT_TRUE(fs_->set_file_size(destination, size, false, info_));
    for (std::uint64_t offset = 0; offset < size; offset += way.chunk) {
      const std::string chunk = read_all(source, offset, static_cast<std::uint32_t>(way.chunk));
      ASSERT_FALSE(chunk.empty()) << "the source ends at " << offset << " of " << size;
      write(destination, chunk, offset);
    }
    ASSERT_TRUE(fs_->set_basic_info(destination, 133'000'000'000'000'000ull, info_));
    const auto first = way.source_closed_first ? source : destination;
    const auto last = way.source_closed_first ? destination : source;
    for (const auto& handle : {first, last}) {
      fs_->cleanup(handle, 0);
      fs_->close(handle);
    }
  }

  // An open, a replacement and the text written, the handle left open.
  OpenFileRef replaced(std::u16string_view through, std::string_view text) {
    const auto file = opened(through);
    EXPECT_TRUE(fs_->overwrite(file, 0, info_));
    write(file, text, 0);
    return file;
  }

  void done(const OpenFileRef& file) {
    fs_->cleanup(file, 0);
    fs_->close(file);
  }

  // An open, a replacement, the text written and the handle closed, as an editor saves.
  void save(std::u16string_view through, std::string_view text) { done(replaced(through, text)); }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

TEST_F(MemberCopies, ACopyOntoAnotherNameOfTheMemberLeavesItAsItWas) {
  const struct {
    std::u16string_view from;
    std::u16string_view to;
  } copies[] = {
      {kHelloClp, kHelloBak},
      {kHelloClp, kHello},
      {kHelloClp, u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\hello.clp"},
      {kHelloClp, u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp~"},
      {kHello, kHelloClp},
  };
  for (const auto& c : copies) {
    SCOPED_TRACE(std::string(c.to.begin(), c.to.end()));
    host.clear_requests();
    copy(c.from, c.to);
    EXPECT_EQ(lines_of("HELLO"), kHelloLines);
    EXPECT_EQ(host.count(RequestKind::write_file), 0u) << "the member is not even replaced";
  }
  EXPECT_THAT(lost_changes_, IsEmpty());
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
}

// Whatever the program sets before the data (a destination the size of the source is padded with
// spaces at once), however it chunks the data, whichever handle it closes first.
TEST_F(MemberCopies, ACopyOntoAnotherNameLeavesTheMemberAsItWasHoweverTheProgramSizesAndChunksIt) {
  const CopyWay ways[] = {
      kCopyFile,
      {.what = "end of file first", .end_of_file = true, .chunk = 7},
      {.what = "allocation, then end of file", .allocation = true, .end_of_file = true, .chunk = 64 * 1024},
      {.what = "end of file first, the source closed first",
       .end_of_file = true,
       .source_closed_first = true},
      {.what = "no size first", .chunk = 5},
  };
  const struct {
    std::string_view member;
    const std::vector<std::string>& lines;
  } members[] = {{"HELLO", kHelloLines}, {"LONG", kLongLines}};
  for (const auto& member : members) {
    const std::u16string folder = u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\";
    const std::u16string stem(member.member.begin(), member.member.end());
    const std::u16string clp = folder + stem + u".clp";
    const std::u16string bak = folder + stem + u".bak";
    for (const auto& way : ways) {
      for (const auto& [from, to] : {std::pair(clp, bak), std::pair(bak, clp)}) {
        SCOPED_TRACE(std::string(member.member) + ", " + way.what + ", onto " +
                     std::string(to.end() - 3, to.end()));
        host.clear_requests();
        copy(from, to, way);
        EXPECT_EQ(lines_of(member.member), member.lines);
        EXPECT_EQ(host.count(RequestKind::write_file), 0u) << "the member is not even replaced";
      }
    }
  }
  EXPECT_THAT(lost_changes_, IsEmpty());
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
}

// An editor holds HELLO.clp open, writes its backup HELLO.clp~ (HELLO itself) from the text it read,
// then saves through HELLO.clp.
TEST_F(MemberCopies, AnEditorsBackupUnderAnotherTypeLetsItsSaveGoThrough) {
  const auto editor = opened(kHelloClp);
  const std::string original = read_all(editor);
  save(u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp~", original);
  save(kHelloClp, "PGM\nENDPGM\n");
  done(editor);
  EXPECT_EQ(lines_of("HELLO"), (std::vector<std::string>{"PGM", "ENDPGM"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// A text written through HELLO.bak while a viewer holds HELLO.clp is HELLO's new text once the writer is
// done, and the viewer sees it.
TEST_F(MemberCopies, AReplacementThroughAnotherNameIsTheMembersTextOnceItsHandleIsDone) {
  const auto viewer = opened(kHelloClp);
  save(kHelloBak, "PGM\n");
  EXPECT_EQ(read_all(viewer), "PGM\n");
  EXPECT_EQ(lines_of("HELLO"), std::vector<std::string>{"PGM"});
  fs_->close(viewer);
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// A program has written a shorter text through HELLO.bak and holds its handle, while HELLO.clp is open
// in an editor: whatever else happens meanwhile sees and sends HELLO's text whole.
TEST_F(MemberCopies, WhileAReplacementThroughAnotherNameIsPendingEveryoneElseSeesTheMembersWholeText) {
  const std::string whole = "PGM\nSNDPGMMSG MSG('Hej')\nENDPGM\n";
  const auto editor = opened(kHelloClp);
  const auto writer = replaced(kHelloBak, "XYZ\n");
  EXPECT_EQ(read_all(writer), "XYZ\n");
  ASSERT_TRUE(fs_->get_file_info(writer, info_));
  EXPECT_EQ(info_.FileSize, 4u);
  const std::function<void()> meanwhile[] = {
      [this] { EXPECT_TRUE(fs_->flush_volume()); },
      [this] { done(opened(kHello)); },
      [this, &editor] { ASSERT_TRUE(fs_->flush(editor, info_)); },
  };
  for (const auto& step : meanwhile) {
    step();
    EXPECT_EQ(lines_of("HELLO"), kHelloLines);
    EXPECT_EQ(read_all(editor), whole);
    const auto reader = opened(kHelloClp);
    EXPECT_EQ(read_all(reader), whole);
    done(reader);
  }
  EXPECT_EQ(host.count(RequestKind::write_file), 0u);
  done(writer);
  EXPECT_EQ(lines_of("HELLO"), std::vector<std::string>{"XYZ"}) << "the writer is done";
  done(editor);
  EXPECT_THAT(lost_changes_, IsEmpty());
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
}

// The mount stops while that program still holds HELLO.bak, and the editor of HELLO.clp has unsaved
// changes: the member gets the editor's text whole, and the program's text is kept in a copy.
TEST_F(MemberCopies, AtTheStopAPendingReplacementIsNotMadeAndItsTextIsKeptInANamedCopy) {
  const auto editor = opened(kHelloClp);
  write(editor, "X", 0);
  const auto writer = replaced(kHelloBak, "XYZ\n");
  fs_.reset();
  EXPECT_EQ(lines_of("HELLO"), (std::vector<std::string>{"XGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}));
  const auto copies = recovery_folder.files();
  ASSERT_THAT(copies, SizeIs(1)) << "the editor's copy goes once the IBM i holds its text";
  EXPECT_THAT(copies.begin()->first, IsCopyName(R"(QSYS\.LIB/OPSLIB\.LIB/QCLSRC\.FILE/HELLO)", R"(\.MBR)"));
  EXPECT_EQ(copies.begin()->second, "XYZ\n");
  EXPECT_THAT(
      lost_changes_,
      ElementsAre("Changes to /QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR written through HELLO.bak are lost: "
                  "the mount stopped before their program was done; their text is kept in " +
                  utf8_of(recovery_folder.path() / copies.begin()->first) + "\n"));
}

// The mount stops while no operation is under way: a program has HELLO.bak replaced and not done, an
// editor has unsaved changes through HELLO.clp, and the IBM i takes the editor's records but never
// answers. The replacement's line comes at once, while the write-back still waits; the write-back's line
// comes when it gives up, and says that the member may hold the records after all.
TEST_F(MemberCopies, AtTheStopAReplacementNeverMadeIsToldAtOnceAndAnUnansweredWriteBackMayHaveBeenMade) {
  remount(std::chrono::seconds(2));
  const auto editor = opened(kHelloClp);
  write(editor, "X", 0);
  const auto writer = replaced(kHelloBak, "XYZ\n");
  host.hang_next(RequestKind::write_file);
  auto stopping = std::async(std::launch::async, [this] { fs_.reset(); });

  const auto told = [this] {
    std::lock_guard lock(lost_changes_lock_);
    return lost_changes_;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (told().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_THAT(told(), SizeIs(1));
  EXPECT_THAT(told().front(), HasSubstr("written through HELLO.bak are lost: the mount stopped before"));
  EXPECT_EQ(stopping.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
      << "told while the write-back waits on the IBM i";

  stopping.get();
  const auto copies = recovery_folder.files();
  ASSERT_THAT(copies, SizeIs(2));
  std::string editor_copy;
  for (const auto& [copy, text] : copies)
    if (text != "XYZ\n") editor_copy = utf8_of(recovery_folder.path() / copy);
  EXPECT_EQ(host.count(RequestKind::write_file), 1u);
  EXPECT_THAT(
      told(),
      ElementsAre(HasSubstr("written through HELLO.bak are lost"),
                  AllOf(StartsWith("Changes to /QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR may not "
                                   "have been saved: timed out waiting for file service at "),
                        EndsWith("; their text is kept in " + editor_copy + "; look on the IBM i\n"))));
}

// A copy program stopped half way through a copy onto HELLO.bak: the member loses nothing.
TEST_F(MemberCopies, AtTheStopACopyOntoAnotherNameThatHasNotEndedCostsTheMemberNothing) {
  const auto source = opened(kHelloClp);
  const auto destination = opened(kHelloBak);
  ASSERT_TRUE(fs_->overwrite(destination, 0, info_));
  ASSERT_TRUE(fs_->set_file_size(destination, 32, false, info_));
  write(destination, read_all(source, 0, 16), 0);
  host.clear_requests();
  fs_.reset();
  EXPECT_EQ(lines_of("HELLO"), kHelloLines);
  EXPECT_EQ(host.count(RequestKind::write_file), 0u);
}

// A program replaces HELLO.bak with a short text and holds its handle while an editor saves a longer
// text through HELLO.clp; the two end in either order, the program writing its last line after the
// editor is done or before, with a viewer on HELLO.MBR or without. The one done last is the member's
// text, whole: never cut to the other's size, never a mix of the two.
TEST_F(MemberCopies, OfTwoOverlappingSavesThroughTwoNamesTheOneDoneLastWinsWhole) {
  int round = 0;
  for (const bool viewer_open : {false, true}) {
    for (const bool program_done_last : {true, false}) {
      SCOPED_TRACE(std::string(program_done_last ? "the program done last" : "the editor done last") +
                   (viewer_open ? ", a viewer open" : ""));
      ++round;
      const std::string editor_text = fmt::format("PGM\nSNDPGMMSG MSG('Hej {}')\nENDPGM\n", round);
      const std::string last_line = fmt::format("ENDPGM /* {} */\n", round);
      const auto viewer = viewer_open ? opened(kHello) : nullptr;
      const auto program = replaced(kHelloBak, "PGM\n");
      const auto editor = replaced(kHelloClp, editor_text);
      if (program_done_last) done(editor);
      write(program, last_line, 4);
      done(program);
      if (!program_done_last) done(editor);
      const std::string last = program_done_last ? "PGM\n" + last_line : editor_text;
      const auto reader = opened(kHello);
      EXPECT_EQ(read_all(reader), last);
      done(reader);
      if (viewer) done(viewer);
      EXPECT_EQ(fmt::format("{}\n", fmt::join(lines_of("HELLO"), "\n")), last);
    }
  }
  EXPECT_THAT(lost_changes_, IsEmpty());
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
}

}  // namespace
}  // namespace varlin::filesystem
