// How the editors that Windows users run save a source member through the drive: several handles of
// one member, saves that fail half way, the flush of the whole volume. The user's text is never lost:
// the IBM i holds it, or a copy on this computer does and the user is told where.
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
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
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

constexpr std::u16string_view kOtherHello = u"\\QSYS.LIB\\DEVLIB.LIB\\QCLSRC.FILE\\HELLO.MBR";
constexpr std::string_view kHelloText = "PGM\nSNDPGMMSG MSG('Hej')\nENDPGM\n";
constexpr std::string_view kEditedText = "XGM\nSNDPGMMSG MSG('Hej')\nENDPGM\n";
class MemberSaves : public OperationsTest {
 protected:
  std::vector<std::string> lines_of(std::string_view library) {
    return host
        .with_tree([library](const fake_ibmi::IfsTree& tree) {
          return tree.member_lines(library, "QCLSRC", "HELLO");
        })
        .value_or(std::vector<std::string>{"(no member)"});
  }

  // The only copy kept, which must hold the text.
  void expect_one_copy_holding(std::string_view text) {
    const auto copies = recovery_folder.files();
    ASSERT_THAT(copies, SizeIs(1));
    EXPECT_THAT(copies.begin()->first, IsCopyName(R"(QSYS\.LIB/OPSLIB\.LIB/QCLSRC\.FILE/HELLO)", R"(\.MBR)"));
    EXPECT_EQ(copies.begin()->second, text);
  }

  // The line that tells of HELLO's changes that the IBM i does not hold, or may not: their cause and
  // where their text is.
  auto hello_lost(std::string_view cause, UnsavedChanges changes = UnsavedChanges::lost) {
    const std::string copy = utf8_of(recovery_folder.path() / recovery_folder.files().begin()->first);
    const bool lost = changes == UnsavedChanges::lost;
    return AllOf(StartsWith(std::string("Changes to /QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR ") +
                            (lost ? "are lost: " : "may not have been saved: ")),
                 HasSubstr(std::string(cause)),
                 EndsWith("; their text is kept in " + copy + (lost ? "" : "; look on the IBM i") + "\n"));
  }

  std::uint32_t append(const OpenFileRef& file, std::string_view text) {
    auto written = fs_->write(file, std::as_bytes(std::span(text)), 0, true, false, info_);
    EXPECT_TRUE(written.has_value());
    return written.value_or(0);
  }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

// The file server answers the write of the records with a failure after the open for replacement has
// emptied the member: the member is empty on the IBM i, and only the copy still holds the text.
TEST_F(MemberSaves, AWriteRefusedAfterTheMemberWasEmptiedLeavesTheTextInACopy) {
  auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_->close(std::move(member));
  EXPECT_THAT(lines_of("OPSLIB"), IsEmpty()) << "the open for replacement emptied the member";
  expect_one_copy_holding(kEditedText);
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost("access denied")));
}

// Notepad saves and closes while the connection breaks in the middle of the records: Cleanup's write-back
// fails on the broken connection, Close's try finds it unusable. The IBM i may have taken every record
// before the break, so the user hears that the changes may not have been saved, and the first cause.
TEST_F(MemberSaves, AConnectionDroppedInTheMiddleOfAWriteBackKeepsTheTextAndTellsTheFirstCause) {
  auto member = opened(kHello);
  write(member, "X", 0);
  host.drop_next(RequestKind::write_file);
  fs_->cleanup(member, 0);
  expect_one_copy_holding(kEditedText);
  fs_->close(std::move(member));
  expect_one_copy_holding(kEditedText);
  ASSERT_THAT(lost_changes_, SizeIs(1));
  EXPECT_THAT(lost_changes_.front(),
              AllOf(hello_lost("early eof", UnsavedChanges::unconfirmed), Not(HasSubstr("unusable"))));
}

TEST_F(MemberSaves, AWriteBackThatFailsAtUnmountLeavesACopyAndSaysWhere) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_.reset();
  expect_one_copy_holding(kEditedText);
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost("access denied")));
}

// A text the records cannot hold is refused before the member is touched, yet when the handle closes
// with it, the text is kept all the same.
TEST_F(MemberSaves, ATextTheRecordsCannotHoldIsKeptWhenItsChangesAreLost) {
  auto member = opened(kHello);
  const std::string text = "PGM\n" + std::string(81, 'A') + "\n";
  ASSERT_TRUE(fs_->overwrite(member, 0, info_));
  write(member, text, 0);
  fs_->close(std::move(member));
  EXPECT_EQ(lines_of("OPSLIB"), (std::vector<std::string>{"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}));
  expect_one_copy_holding(text);
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost("source line 2 encodes to 81 bytes")));
}

TEST_F(MemberSaves, ASuccessfulWriteBackLeavesNoCopyNorAnEarlierFailedOne) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  EXPECT_FALSE(fs_->flush(member, info_).has_value());
  expect_one_copy_holding(kEditedText);
  write(member, "Y", 1);
  ASSERT_TRUE(fs_->flush(member, info_));
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
  fs_->close(member);
  EXPECT_THAT(lost_changes_, IsEmpty());
}

TEST_F(MemberSaves, AWriteBackWithoutACopyFailsBeforeTheMemberIsTouched) {
  // A file where the copy's folder must go.
  std::ofstream(recovery_folder.path() / "QSYS.LIB") << "in the way";
  auto member = opened(kHello);
  write(member, "X", 0);
  host.clear_requests();
  EXPECT_EQ(fs_->flush(member, info_), fail(winfsp::kStatusUnexpectedIoError));
  EXPECT_THAT(host.requests(), IsEmpty());
  fs_->close(std::move(member));
  EXPECT_EQ(lines_of("OPSLIB")[0], "PGM");
  EXPECT_THAT(lost_changes_, ElementsAre(AllOf(HasSubstr("could not keep a copy of the text"),
                                               EndsWith("; no copy of their text could be kept\n"))));
}

// Notepad's save fails at Cleanup and again at Close: the text was copied once, and the line names that
// copy.
TEST_F(MemberSaves, ATextWhoseWriteBacksFailIsCopiedOnceAndTheLineNamesThatCopy) {
  auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_->cleanup(member, 0);
  const auto copies = recovery_folder.files();
  ASSERT_THAT(copies, SizeIs(1));
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_->close(std::move(member));
  EXPECT_EQ(recovery_folder.files(), copies);
  EXPECT_THAT(lost_changes_, ElementsAre(hello_lost("access denied")));
}

// The line says the changes are lost and where their text is: nothing the mount does later makes it
// untrue, though the closed handle lingers (a volume flush that holds it as its Close runs).
TEST_F(MemberSaves, ChangesToldLostStayLostAndTheirCopyStays) {
  const auto member = opened(kHello);
  write(member, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_->close(member);
  ASSERT_THAT(lost_changes_, SizeIs(1));
  const auto copies = recovery_folder.files();
  host.clear_requests();
  EXPECT_TRUE(fs_->flush_volume());
  EXPECT_THAT(host.requests(), IsEmpty());
  EXPECT_EQ(recovery_folder.files(), copies);
  const auto later = opened(kHello);
  EXPECT_EQ(read_all(later), "") << "the member as the failed write-back left it";
  fs_->close(later);
  EXPECT_EQ(recovery_folder.files(), copies);
}

// Windows ends the process about five seconds after it asked it to stop, however long the IBM i takes
// to answer the first write-back: by then every changed text must be in a copy. The flush of the volume
// at a shutdown is no different.
TEST_F(MemberSaves, EveryChangedTextIsCopiedBeforeTheFirstWriteBackWaitsForTheIbmI) {
  const std::function<void()> ends[] = {
      [this] { fs_.reset(); },
      [this] { static_cast<void>(fs_->flush_volume()); },
  };
  for (const auto& end : ends) {
    remount(std::chrono::seconds(1));
    std::filesystem::remove_all(recovery_folder.path() / "QSYS.LIB");
    const auto ops = opened(kHello);
    const auto dev = opened(kOtherHello);
    write(ops, "X", 0);
    write(dev, "Y", 0);
    host.clear_requests();
    host.hang_next(RequestKind::file_description);
    auto seen = std::async(std::launch::async, [this] {
      for (int wait = 0; wait < 1000 && host.count(RequestKind::file_description) == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      return recovery_folder.files().size();
    });
    end();
    EXPECT_EQ(seen.get(), 2u) << "copies when the first write-back asked the IBM i";
  }
  // The stop's write-backs gave up before they sent anything about the members themselves.
  EXPECT_THAT(lost_changes_, AllOf(SizeIs(2), Each(HasSubstr(" are lost: "))));
}

// Two changed members are open beside a stream file whose write, and a third member whose save, wait on
// an IBM i that does not answer them. Those two were opened first, so a pass over the open handles in
// their order would wait on their locks before it reached the others.
class CopiesAtOnce : public MemberSaves {
 protected:
  static constexpr std::u16string_view kNote = u"\\QSYS.LIB\\DEVLIB.LIB\\QTXTSRC.FILE\\NOTE.MBR";
  static constexpr std::chrono::seconds kBound{10};

  void SetUp() override {
    MemberSaves::SetUp();
    stream_ = opened(u"\\home\\dev\\notes.txt");
    note_ = opened(kNote);
    ops_ = opened(kHello);
    dev_ = opened(kOtherHello);
    write(note_, "Z", 0);
    write(ops_, "X", 0);
    write(dev_, "Y", 0);
    host.clear_requests();
    host.hang_next(RequestKind::write_file);
    stream_write_ = std::async(std::launch::async, [this] {
      winfsp::FSP_FSCTL_FILE_INFO info{};
      static_cast<void>(
          fs_->write(stream_, std::as_bytes(std::span(std::string_view("more"))), 0, false, false, info));
    });
    ASSERT_TRUE(arrived(RequestKind::write_file));
    host.hang_next(RequestKind::file_description);
    save_ = std::async(std::launch::async, [this] {
      winfsp::FSP_FSCTL_FILE_INFO info{};
      static_cast<void>(fs_->flush(note_, info));
    });
    ASSERT_TRUE(arrived(RequestKind::file_description));
  }

  void TearDown() override {
    // The fake closes its connections: the waiting exchanges end.
    host.stop();
    if (stream_write_.valid()) stream_write_.get();
    if (save_.valid()) save_.get();
  }

  // Whether the condition holds within the bound.
  static bool within_bound(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  // Whether a request of the kind reached the IBM i within the bound.
  bool arrived(RequestKind kind) {
    return within_bound([this, kind] { return host.count(kind) > 0; });
  }

  // The three changed texts, each in a copy of its own.
  void expect_every_changed_text_copied() {
    std::vector<std::string> texts;
    for (const auto& [copy, text] : recovery_folder.files()) texts.push_back(text);
    EXPECT_THAT(texts, UnorderedElementsAre(std::string(kEditedText), StartsWith("Y "), "Zrüße €\n"));
  }

  OpenFileRef stream_, note_, ops_, dev_;
  std::future<void> stream_write_, save_;
};

// The first step of the stop, which main takes before it waits for the operations under way.
TEST_F(CopiesAtOnce, TheStopCopiesEveryChangedTextWhileAWriteAndASaveWaitOnTheIbmI) {
  auto kept = std::async(std::launch::async, [this] { fs_->keep_unsaved_texts(); });
  ASSERT_EQ(kept.wait_for(kBound), std::future_status::ready) << "the copies wait for the IBM i";
  expect_every_changed_text_copied();
}

// Windows flushes the whole volume at a shutdown: the copies come before its write-backs wait.
TEST_F(CopiesAtOnce, TheFlushOfTheVolumeCopiesEveryChangedTextWhileAWriteAndASaveWaitOnTheIbmI) {
  auto flushed = std::async(std::launch::async, [this] { return fs_->flush_volume(); });
  static_cast<void>(within_bound([this] { return recovery_folder.files().size() >= 3; }));
  expect_every_changed_text_copied();
  host.stop();
  EXPECT_FALSE(flushed.get()) << "the write-backs found no IBM i";
}

// Two mounts of one host, each of one library, with changes to each library's HELLO that the IBM i
// refuses: each copy names the object it holds, from the root of the IBM i.
TEST_F(MemberSaves, ACopyNamesTheIbmIObjectItHoldsWhateverTheRemoteRoot) {
  for (const std::string_view library : {"OPSLIB", "DEVLIB"}) {
    MountSettings settings = settings_for(fmt::format("/QSYS.LIB/{}.LIB", library));
    settings.lost_changes = [this](std::string_view line) { lost_changes_.emplace_back(line); };
    auto mounted = IfsFileSystem::connect(std::move(settings));
    ASSERT_TRUE(mounted) << mounted.error().text();
    winfsp::FSP_FSCTL_OPEN_FILE_INFO open_info{};
    auto member = (*mounted)->open(name(u"\\QCLSRC\\HELLO.clp"), 0, 0, open_info);
    ASSERT_TRUE(member);
    ASSERT_TRUE(
        (*mounted)->write(*member, std::as_bytes(std::span(std::string_view("X"))), 0, false, false, info_));
    host.fail_next(RequestKind::write_file, kAccessDenied);
    (*mounted)->close(std::move(*member));
  }
  const auto copies = recovery_folder.files();
  ASSERT_THAT(copies, SizeIs(2));
  EXPECT_THAT(copies.begin()->first, IsCopyName(R"(QSYS\.LIB/DEVLIB\.LIB/QCLSRC\.FILE/HELLO)", R"(\.MBR)"));
  EXPECT_THAT(std::next(copies.begin())->first,
              IsCopyName(R"(QSYS\.LIB/OPSLIB\.LIB/QCLSRC\.FILE/HELLO)", R"(\.MBR)"));
  EXPECT_THAT(lost_changes_,
              ElementsAre(StartsWith("Changes to /QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR"),
                          StartsWith("Changes to /QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR")));
}

// Editor A opens HELLO, editor B opens it too; A saves and closes, then B appends a line and closes.
TEST_F(MemberSaves, ASaveByOneEditorIsNotUndoneByAnotherThatHadTheMemberOpen) {
  const auto first = opened(kHello);
  auto second = opened(kHello);
  write(first, "X", 0);
  ASSERT_TRUE(fs_->flush(first, info_));
  fs_->cleanup(first, 0);
  fs_->close(first);
  EXPECT_EQ(read_all(second), kEditedText) << "a handle reads the latest text";
  append(second, "ENDDO\n");
  fs_->cleanup(second, 0);
  fs_->close(std::move(second));
  EXPECT_EQ(lines_of("OPSLIB"), (std::vector<std::string>{"XGM", "SNDPGMMSG MSG('Hej')", "ENDPGM", "ENDDO"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// A viewer holds the member open under one spelling while an editor saves it under another.
TEST_F(MemberSaves, EverySpellingOfAMemberSeesAndSavesOneText) {
  const std::u16string_view spellings[] = {
      u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.clp",
      u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp",
      u"\\qsys.lib\\opslib.lib\\qclsrc.file\\hello.mbr",
      u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.bak",
  };
  std::string expected(kHelloText);
  for (const auto spelling : spellings) {
    SCOPED_TRACE(std::string(spelling.begin(), spelling.end()));
    const auto viewer = opened(spelling);
    const auto editor = opened(kHello);
    const std::string before = expected;
    EXPECT_EQ(read_all(viewer), before);
    expected = "ENDDO\n" + expected;
    ASSERT_TRUE(fs_->overwrite(editor, 0, info_));
    write(editor, expected, 0);
    EXPECT_EQ(read_all(viewer), before) << "the editor's replacement is its own until it is done";
    ASSERT_TRUE(fs_->flush(editor, info_));
    EXPECT_EQ(read_all(viewer), expected) << "after the save";
    ASSERT_TRUE(fs_->get_file_info(viewer, info_));
    EXPECT_EQ(info_.FileSize, expected.size());
    append(viewer, "* seen\n");
    expected += "* seen\n";
    ASSERT_TRUE(fs_->flush(viewer, info_));
    EXPECT_EQ(read_all(editor), expected);
    fs_->close(viewer);
    fs_->close(editor);
  }
  EXPECT_EQ(lines_of("OPSLIB").back(), "* seen");
  EXPECT_EQ(lines_of("OPSLIB").size(), 3u + 4u * 2u);
}

// An editor holds HELLO open with unsaved changes while Explorer renames its source file; a second
// editor then opens HELLO under its new path.
TEST_F(MemberSaves, AMemberOpenedAfterItsSourceFileWasRenamedFindsTheTextStillOpen) {
  const auto first = opened(kHello);
  write(first, "X", 0);
  rename_folder(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE", u"\\QSYS.LIB\\OPSLIB.LIB\\QNEWSRC.FILE");
  const auto second = opened(u"\\QSYS.LIB\\OPSLIB\\QNEWSRC\\HELLO.clp");
  EXPECT_EQ(read_all(second), kEditedText);
  append(second, "ENDDO\n");
  fs_->close(second);
  fs_->close(first);
  const auto lines = host.with_tree(
      [](const fake_ibmi::IfsTree& tree) { return tree.member_lines("OPSLIB", "QNEWSRC", "HELLO"); });
  EXPECT_EQ(lines, (std::vector<std::string>{"XGM", "SNDPGMMSG MSG('Hej')", "ENDPGM", "ENDDO"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// Runs an action once, on the thread that logs the first event with the message, while it is logged.
class OnEvent final : public spdlog::sinks::base_sink<spdlog::details::null_mutex> {
 public:
  OnEvent(std::string message, std::function<void()> action)
      : message_(std::move(message)), action_(std::move(action)) {}

 private:
  void sink_it_(const spdlog::details::log_msg& event) override {
    if (std::string_view(event.payload.data(), event.payload.size()).starts_with(message_) &&
        !done_.exchange(true))
      action_();
  }
  void flush_() override {}

  std::string message_;
  std::function<void()> action_;
  std::atomic<bool> done_ = false;
};

// An editor holds HELLO open with unsaved changes while Explorer renames its source file, and a second
// editor opens HELLO under the new path just as the IBM i has made the rename, before the mount has
// moved the open files.
TEST_F(MemberSaves, AMemberOpenedUnderItsNewPathWhileItsSourceFileIsRenamedFindsTheOneText) {
  const auto first = opened(kHello);
  write(first, "X", 0);
  std::future<OpenFileRef> second;
  const auto open_during_rename = [this, &second] {
    second =
        std::async(std::launch::async, [this] { return opened(u"\\QSYS.LIB\\OPSLIB\\QNEWSRC\\HELLO.clp"); });
    // Long enough for the open to finish, unless it waits for the rename.
    second.wait_for(std::chrono::milliseconds(500));
  };
  const auto previous = spdlog::default_logger();
  auto logger = std::make_shared<spdlog::logger>(
      "rename", std::make_shared<OnEvent>("updated open handle after rename", open_during_rename));
  logger->set_level(spdlog::level::debug);
  spdlog::set_default_logger(logger);
  rename_folder(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE", u"\\QSYS.LIB\\OPSLIB.LIB\\QNEWSRC.FILE");
  spdlog::set_default_logger(previous);
  ASSERT_TRUE(second.valid()) << "the rename moved no open file";
  const auto reader = second.get();
  EXPECT_EQ(read_all(reader), kEditedText);
  fs_->close(reader);
  fs_->close(first);
  const auto lines = host.with_tree(
      [](const fake_ibmi::IfsTree& tree) { return tree.member_lines("OPSLIB", "QNEWSRC", "HELLO"); });
  EXPECT_EQ(lines, (std::vector<std::string>{"XGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

TEST_F(MemberSaves, AFailedWriteBackAtOneCloseIsLeftForTheHandleStillOpen) {
  auto first = opened(kHello);
  const auto second = opened(kHello);
  write(first, "X", 0);
  host.fail_next(RequestKind::write_file, kAccessDenied);
  fs_->close(std::move(first));
  EXPECT_THAT(lost_changes_, IsEmpty()) << "the other handle still holds the text";
  fs_->close(second);
  EXPECT_EQ(lines_of("OPSLIB")[0], "XGM");
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// Windows flushes a whole volume (FlushFileBuffers on the volume, a shutdown) with no open file.
TEST_F(MemberSaves, TheFlushOfTheVolumeWritesBackEveryChangedMemberAndAnswersTheFirstFailure) {
  const auto ops = opened(kHello);
  const auto ops_again = opened(kHello);
  const auto dev = opened(kOtherHello);
  write(ops, "X", 0);
  write(dev, "Y", 0);
  host.clear_requests();
  host.fail_next(RequestKind::open_file, kAccessDenied);
  EXPECT_EQ(fs_->flush_volume(), fail(winfsp::kStatusAccessDenied));
  // The members go one after the other, in no order of their handles.
  const bool ops_saved = lines_of("OPSLIB")[0] == "XGM";
  const bool dev_saved = lines_of("DEVLIB")[0].starts_with("Y ");
  EXPECT_NE(ops_saved, dev_saved) << "the first write-back failed, the next one was still made";
  EXPECT_EQ(host.count(RequestKind::file_description), 2u) << "one write-back per member, not per handle";

  EXPECT_TRUE(fs_->flush_volume());
  EXPECT_EQ(lines_of("OPSLIB")[0], "XGM");
  EXPECT_THAT(lines_of("DEVLIB")[0], StartsWith("Y "));
  host.clear_requests();
  EXPECT_TRUE(fs_->flush_volume());
  EXPECT_THAT(host.requests(), IsEmpty()) << "nothing left unsaved";
}

}  // namespace
}  // namespace varlin::filesystem
