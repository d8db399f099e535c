#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "morva/ccsid/utf16.hpp"
#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;

TEST_F(OperationsTest, NamesBecomeRemotePathsOrInvalidInput) {
  EXPECT_EQ(fs_->remote_path(name(u"\\")), "/");
  EXPECT_EQ(fs_->remote_path(name(u"\\\\home\\\\\\dev")), "/home/dev");
  for (std::u16string_view bad : {u"\\home\\..\\x", u"\\.\\x", u"\\a/b"})
    EXPECT_EQ(fs_->remote_path(name(bad)),
              std::unexpected(OperationError(morva::IoErrorKind::invalid_input)));
}

TEST_F(OperationsTest, OpenChecksTheDirectoryOptions) {
  EXPECT_EQ(open(u"\\home\\dev", winfsp::kFileNonDirectoryFile).error(),
            OperationError(winfsp::kStatusFileIsADirectory));
  EXPECT_EQ(open(u"\\home\\dev\\notes.txt", winfsp::kFileDirectoryFile).error(),
            OperationError(winfsp::kStatusNotADirectory));
  EXPECT_EQ(open(u"\\home\\dev\\missing").error(), OperationError(winfsp::kStatusObjectNameNotFound));
}

TEST_F(OperationsTest, AMemberIsReadWholeAtOpenAndServedFromMemory) {
  const auto member = opened(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  ASSERT_TRUE(member);
  const std::string text = "PGM\nSNDPGMMSG MSG('Hej')\nENDPGM\n";
  host.clear_requests();
  EXPECT_EQ(read_all(member), text);
  EXPECT_EQ(read_all(member, 4, 9), "SNDPGMMSG");
  EXPECT_EQ(read_all(member, text.size()), "");
  EXPECT_EQ(read_all(member, 5000), "");
  EXPECT_TRUE(host.requests().empty()) << "reads of a buffered member ask nothing";
  winfsp::FSP_FSCTL_FILE_INFO info{};
  ASSERT_TRUE(fs_->get_file_info(member, info));
  EXPECT_EQ(info.FileSize, text.size());
}

TEST_F(OperationsTest, AStreamFileIsReadRangeByRange) {
  const auto file = opened(u"\\home\\dev\\notes.txt");
  EXPECT_EQ(read_all(file, 3, 4), "3456");
  EXPECT_EQ(read_all(file, 8), "89");
  EXPECT_EQ(host.count(RequestKind::read_file), 2u);
  const auto directory = opened(u"\\home\\dev");
  std::vector<std::byte> buffer(16);
  EXPECT_EQ(fs_->read(directory, buffer, 0).error(), OperationError(winfsp::kStatusFileIsADirectory));
}

TEST_F(OperationsTest, ListsInByteOrderWithDotEntriesBelowTheRoot) {
  const auto root = opened(u"\\");
  EXPECT_EQ(list(root).names, (std::vector<std::u16string>{u"QSYS.LIB", u"home"}));
  const auto dev = opened(u"\\home\\dev");
  const Listing all = list(dev);
  EXPECT_TRUE(all.ended);
  EXPECT_EQ(all.names, (std::vector<std::u16string>{u".", u"..", u"B", u"_", u"a", u"notes.txt", u"sub"}));
  EXPECT_EQ(list(dev, u".").names,
            (std::vector<std::u16string>{u"..", u"B", u"_", u"a", u"notes.txt", u"sub"}));
  EXPECT_EQ(list(dev, u"a").names, (std::vector<std::u16string>{u"notes.txt", u"sub"}));

  // A buffer too small for all: no end marker, so WinFsp asks again from the last name.
  const Listing first = list(dev, std::nullopt, 3 * 112);
  EXPECT_FALSE(first.ended);
  EXPECT_EQ(first.names, (std::vector<std::u16string>{u".", u"..", u"B"}));
}

TEST_F(OperationsTest, AnEntryWhoseNameWindowsCannotCarryIsLeftOutOfTheListing) {
  // Each face takes two UTF-16 units: 255 units fit a directory record, 256 do not.
  std::u16string fits;
  for (int i = 0; i < 127; ++i) fits += u"\U0001F600";
  fits += u"a";
  std::u16string too_long;
  for (int i = 0; i < 128; ++i) too_long += u"\U0001F600";
  host.with_tree([&](fake_ibmi::IfsTree& tree) {
    tree.add_file("/home/long/a.txt", "").add_file("/home/long/\U0001F601", "");
    // The tree's builder counts a name's bytes; these are placed as they are.
    const auto directory = tree.find("/home/long");
    for (const auto& shown : {fits, too_long}) {
      std::string utf8;
      morva::ccsid::append_utf8_of_utf16(shown, utf8);
      auto node = std::make_shared<fake_ibmi::Node>();
      node->name = utf8;
      node->kind = fake_ibmi::NodeKind::stream_file;
      directory->children.push_back(std::move(node));
    }
  });
  const Listing listed = list(opened(u"\\home\\long"));
  EXPECT_TRUE(listed.ended);
  EXPECT_EQ(listed.names, (std::vector<std::u16string>{u".", u"..", u"a.txt", fits, u"\U0001F601"}));
}

TEST_F(OperationsTest, TheRootIsADirectoryOfTheUnixEpoch) {
  winfsp::FSP_FSCTL_FILE_INFO info{};
  ASSERT_TRUE(fs_->get_file_info(opened(u"\\"), info));
  EXPECT_EQ(info.FileAttributes, winfsp::kFileAttributeDirectory);
  EXPECT_EQ(info.FileSize, 0u);
  for (std::uint64_t time : {info.CreationTime, info.LastAccessTime, info.LastWriteTime, info.ChangeTime})
    EXPECT_EQ(time, 116444736000000000u);
  EXPECT_EQ(info.IndexNumber, 14924153705535855226u) << "of \"/\"";
}

TEST_F(OperationsTest, AMarkerKeepsTheSnapshotOfItsEnumeration) {
  const auto dev = opened(u"\\home\\dev");
  list(dev);
  host.with_tree([](fake_ibmi::IfsTree& t) { t.add_file("/home/dev/c", ""); });
  EXPECT_EQ(list(dev, u"a").names, (std::vector<std::u16string>{u"notes.txt", u"sub"}));
}

TEST_F(OperationsTest, MemberWritesStayInMemoryUntilTheWriteBack) {
  const auto member = opened(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  host.clear_requests();
  EXPECT_EQ(write(member, "XX", 40), 2u);
  EXPECT_EQ(read_all(member, 28), "PGM\n        XX") << "the gap is filled with spaces";
  EXPECT_EQ(host.count(RequestKind::write_file), 0u);

  winfsp::FSP_FSCTL_FILE_INFO info{};
  ASSERT_TRUE(fs_->flush(member, info));
  EXPECT_EQ(info.FileSize, 42u);
  EXPECT_GT(host.count(RequestKind::write_file), 0u);
  const auto lines =
      host.with_tree([](fake_ibmi::IfsTree& t) { return t.member_lines("OPSLIB", "QCLSRC", "HELLO"); });
  EXPECT_EQ(lines, (std::vector<std::string>{"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM", "        XX"}));
}

TEST_F(OperationsTest, AMemberMayNotGrowBeyondTheLargestBufferedSize) {
  const auto member = opened(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  winfsp::FSP_FSCTL_FILE_INFO info{};
  const std::string byte = "x";
  EXPECT_EQ(fs_->write(member, std::as_bytes(std::span(byte)), 1000, false, false, info).error(),
            OperationError(winfsp::kStatusDiskFull));
  EXPECT_TRUE(fs_->write(member, std::as_bytes(std::span(byte)), 999, false, false, info));
  EXPECT_EQ(fs_->set_file_size(member, 1001, false, info).error(), OperationError(winfsp::kStatusDiskFull));
}

TEST_F(OperationsTest, StreamWritesGoOutAtOnce) {
  const auto file = opened(u"\\home\\dev\\notes.txt");
  EXPECT_EQ(write(file, "AB", 12), 2u);
  EXPECT_EQ(host.with_tree([](fake_ibmi::IfsTree& t) { return t.file_bytes("/home/dev/notes.txt"); }),
            fake_ibmi::Bytes({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0, 'A', 'B'}));
  winfsp::FSP_FSCTL_FILE_INFO info{};
  const std::string nothing;
  host.clear_requests();
  EXPECT_EQ(fs_->write(file, std::as_bytes(std::span(nothing)), 20, false, false, info), 0u);
  EXPECT_EQ(host.count(RequestKind::write_file), 0u) << "a zero-length write sends nothing";
  EXPECT_EQ(info.FileSize, 20u);
  const std::string z = "Z";
  EXPECT_EQ(fs_->write(file, std::as_bytes(std::span(z)), 30, false, true, info), 0u)
      << "a constrained write past the end writes nothing";
}

TEST_F(OperationsTest, MembersAreNeitherCreatedDeletedNorRenamed) {
  winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
  host.clear_requests();
  EXPECT_EQ(fs_->create(name(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\NEW.MBR"), 0, 0, 0, info).error(),
            OperationError(winfsp::kStatusAccessDenied));
  EXPECT_TRUE(host.requests().empty());
  const auto member = opened(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  EXPECT_EQ(fs_->set_delete(member, true).error(), OperationError(winfsp::kStatusAccessDenied));
  EXPECT_EQ(fs_->rename(member, name(u"\\home\\dev\\hello.txt"), false).error(),
            OperationError(winfsp::kStatusAccessDenied));
  fs_->cleanup(member, kCleanupDelete);
  EXPECT_EQ(host.count(RequestKind::delete_file), 0u);
}

TEST_F(OperationsTest, CreatesDeletesAndRenames) {
  winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
  auto created = fs_->create(name(u"\\home\\dev\\new.txt"), 0, 0, 0, info);
  ASSERT_TRUE(created);
  EXPECT_EQ(host.with_tree([](fake_ibmi::IfsTree& t) { return t.file_bytes("/home/dev/new.txt"); }),
            fake_ibmi::Bytes());
  EXPECT_EQ(fs_->create(name(u"\\home\\dev\\new.txt"), 0, 0, 0, info).error(),
            OperationError(winfsp::kStatusObjectNameCollision));

  const auto sub = opened(u"\\home\\dev\\sub");
  const auto inner = opened(u"\\home\\dev\\sub\\inner.txt");
  ASSERT_TRUE(fs_->rename(sub, name(u"\\home\\dev\\moved"), false));
  EXPECT_EQ(read_all(inner), "inner") << "the open file below follows the rename";
  EXPECT_EQ(inner->file.path, "/home/dev/moved/inner.txt");

  ASSERT_TRUE(fs_->set_delete(*created, true));
  fs_->cleanup(*created, kCleanupDelete);
  EXPECT_FALSE(host.with_tree([](fake_ibmi::IfsTree& t) { return t.find("/home/dev/new.txt") != nullptr; }));
  EXPECT_EQ(open(u"\\home\\dev\\new.txt").error(), OperationError(winfsp::kStatusObjectNameNotFound));
}

TEST_F(OperationsTest, SizesAndTimesChangeWhatTheyMust) {
  const auto file = opened(u"\\home\\dev\\notes.txt");
  winfsp::FSP_FSCTL_FILE_INFO info{};
  host.clear_requests();
  ASSERT_TRUE(fs_->set_file_size(file, 50, true, info));
  EXPECT_EQ(info.FileSize, 10u) << "a larger allocation keeps the size";
  EXPECT_EQ(host.count(RequestKind::truncate), 0u) << "and sends nothing";
  ASSERT_TRUE(fs_->set_basic_info(file, 116444736000000000ull, info));
  EXPECT_EQ(info.LastWriteTime, 116444736000000000ull);
  EXPECT_EQ(file->file.entry.modified, 0u);
}

}  // namespace
}  // namespace varlin::filesystem
