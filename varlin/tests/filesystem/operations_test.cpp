#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fake_host_mount.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "filesystem/winfsp/dir_info.hpp"
#include "stub_winfsp.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;

constexpr std::uint32_t kNoOptions = 0;
constexpr std::uint32_t kCleanupDelete = 1;

// What these tests add to the fake's tree.
void add_operation_entries(fake_ibmi::IfsTree& tree) {
  tree.add_file("/home/dev/notes.txt", "0123456789")
      .add_file("/home/dev/B", "")
      .add_file("/home/dev/_", "")
      .add_file("/home/dev/a", "")
      .add_directory("/home/dev/sub")
      .add_file("/home/dev/sub/inner.txt", "inner")
      .add_library("OPSLIB")
      .add_source_file("OPSLIB", "QCLSRC", {.record_length = 92, .ccsid = 277})
      .add_member("OPSLIB", "QCLSRC", "HELLO",
                  {.lines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}, .source_type = "CLP"});
}

std::u16string name(std::u16string_view text) {
  std::u16string terminated(text);
  terminated.push_back(u'\0');
  return terminated;
}

// The names in a ReadDirectory buffer, and whether the end marker closed it.
struct Listing {
  std::vector<std::u16string> names;
  bool ended = false;
};

Listing listing_in(const std::vector<std::byte>& buffer, std::uint32_t bytes) {
  Listing listing;
  std::uint32_t at = 0;
  while (at + sizeof(std::uint16_t) <= bytes) {
    std::uint16_t size = 0;
    std::memcpy(&size, buffer.data() + at, sizeof(size));
    if (size == 0) {
      listing.ended = true;
      break;
    }
    const auto* record = reinterpret_cast<const winfsp::FSP_FSCTL_DIR_INFO*>(buffer.data() + at);
    listing.names.emplace_back(winfsp::dir_info_name(*record));
    at += (size + 7u) & ~7u;
  }
  return listing;
}

// A mount of the fake's root that buffers members of at most 1,000 bytes.
class OperationsTest : public FakeHostMount {
 protected:
  void SetUp() override {
    host.with_tree(add_operation_entries);
    MountSettings settings = settings_for("/");
    settings.max_file_size = 1000;
    auto mounted = IfsFileSystem::connect(std::move(settings));
    ASSERT_TRUE(mounted) << mounted.error().text();
    fs_ = std::move(*mounted);
  }

  OperationResult<OpenFileRef> open(std::u16string_view path, std::uint32_t options = kNoOptions) {
    winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
    return fs_->open(name(path), options, 0, info);
  }

  OpenFileRef opened(std::u16string_view path) {
    auto file = open(path);
    EXPECT_TRUE(file.has_value());
    return file ? *file : nullptr;
  }

  std::string read_all(const OpenFileRef& file, std::uint64_t offset = 0, std::uint32_t length = 4096) {
    std::vector<std::byte> buffer(length);
    auto count = fs_->read(file, buffer, offset);
    EXPECT_TRUE(count.has_value());
    return count ? std::string(reinterpret_cast<const char*>(buffer.data()), *count) : std::string();
  }

  std::uint32_t write(const OpenFileRef& file, std::string_view text, std::uint64_t offset) {
    winfsp::FSP_FSCTL_FILE_INFO info{};
    auto written = fs_->write(file, std::as_bytes(std::span(text)), offset, false, false, info);
    EXPECT_TRUE(written.has_value());
    return written.value_or(0);
  }

  Listing list(const OpenFileRef& directory, std::optional<std::u16string> marker = std::nullopt,
               std::uint32_t length = 8192) {
    std::vector<std::byte> buffer(length);
    DirectoryBuffer directory_buffer(winfsp_, buffer.data(), length);
    std::optional<std::u16string> terminated = marker ? std::optional(name(*marker)) : std::nullopt;
    auto bytes = fs_->read_directory(directory, std::nullopt,
                                     terminated ? std::optional<FileName>(*terminated) : std::nullopt,
                                     directory_buffer);
    EXPECT_TRUE(bytes.has_value());
    return bytes ? listing_in(buffer, *bytes) : Listing{};
  }

  std::unique_ptr<IfsFileSystem> fs_;
  winfsp_stub::StubWinFsp winfsp_;
};

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
  auto created = fs_->create(name(u"\\home\\dev\\new.txt"), 0, 0, 4096, info);
  ASSERT_TRUE(created);
  EXPECT_EQ(info.FileInfo.FileSize, 4096u);
  EXPECT_EQ(host.with_tree([](fake_ibmi::IfsTree& t) { return t.file_bytes("/home/dev/new.txt")->size(); }),
            4096u);
  EXPECT_EQ(fs_->create(name(u"\\home\\dev\\new.txt"), 0, 0, 0, info).error(),
            OperationError(winfsp::kStatusObjectNameCollision));

  const auto sub = opened(u"\\home\\dev\\sub");
  const auto inner = opened(u"\\home\\dev\\sub\\inner.txt");
  ASSERT_TRUE(fs_->rename(sub, name(u"\\home\\dev\\moved"), false));
  EXPECT_EQ(read_all(inner), "inner") << "the open file below follows the rename";
  EXPECT_EQ(inner->file.path, "/home/dev/moved/inner.txt");

  ASSERT_TRUE(fs_->set_delete(*created, true));
  fs_->cleanup(*created, 0);
  EXPECT_FALSE(host.with_tree([](fake_ibmi::IfsTree& t) { return t.find("/home/dev/new.txt") != nullptr; }));
  EXPECT_EQ(open(u"\\home\\dev\\new.txt").error(), OperationError(winfsp::kStatusObjectNameNotFound));
}

TEST_F(OperationsTest, SizesAndTimesChangeWhatTheyMust) {
  const auto file = opened(u"\\home\\dev\\notes.txt");
  winfsp::FSP_FSCTL_FILE_INFO info{};
  host.clear_requests();
  ASSERT_TRUE(fs_->set_file_size(file, 50, true, info));
  EXPECT_EQ(info.FileSize, 10u) << "a larger allocation keeps the size";
  EXPECT_EQ(host.count(RequestKind::truncate), 1u) << "and still sends it";
  ASSERT_TRUE(fs_->set_basic_info(file, 116444736000000000ull, info));
  EXPECT_EQ(info.LastWriteTime, 116444736000000000ull);
  EXPECT_EQ(file->file.entry.modified, 0u);
}

}  // namespace
}  // namespace varlin::filesystem
