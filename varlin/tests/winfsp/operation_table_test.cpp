#include "winfsp/operation_table.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <stdexcept>

#include "captured_events.hpp"
#include "mock_file_system_context.hpp"
#include "stub_winfsp.hpp"
#include "winfsp/dir_info.hpp"

namespace varlin::filesystem {
namespace {

using ::testing::_;
using ::testing::Eq;
using ::testing::Invoke;
using ::testing::Optional;
using ::testing::Return;
using ::testing::StrictMock;
using namespace winfsp;

// A name as WinFsp passes it, the terminating zero counted.
FileName passed(std::u16string_view name) {
  return {name.data(), name.size() + 1};
}

// The slots called the way WinFsp calls them, over a mock context and the stand-in WinFsp.
class OperationTable : public ::testing::Test {
 protected:
  // Opens `record` through the Open slot and returns WinFsp's file context for it.
  void* open(FakeFileRef record) {
    EXPECT_CALL(context, open(_, _, _, _)).WillOnce(Return(record));
    void* cell = nullptr;
    FSP_FSCTL_OPEN_FILE_INFO info{};
    EXPECT_EQ(table.Open(&file_system, name, 0, 0, &cell, &info.FileInfo), kStatusSuccess);
    return cell;
  }

  void close(void* cell) {
    EXPECT_CALL(context, close(_));
    table.Close(&file_system, cell);
  }

  StrictMock<MockFileSystemContext> context;
  winfsp_stub::StubWinFsp winfsp;
  OperationTarget target{context, winfsp};
  FSP_FILE_SYSTEM file_system{0, &target};
  FSP_FILE_SYSTEM_INTERFACE table = operation_table<FakeFileRef>();
  char16_t name[3] = u"\\a";
};

TEST_F(OperationTable, ServesItsSlotsInWinFspsOrderAndLeavesTheRestEmpty) {
  std::array<void*, 64> slots{};
  static_assert(sizeof(slots) == sizeof(table));
  std::memcpy(slots.data(), &table, sizeof(table));
  // Create, Overwrite, CanDelete and Obsolete0 are served by their Ex or SetDelete forms, or not at all.
  const std::array<bool, 64> served = {true, true, true, false, true, false, true, true, true, true,  true,
                                       true, true, true, false, true, true,  true, true, true, true,  true,
                                       true, true, true, true,  true, true,  true, true, true, false, true};
  for (std::size_t slot = 0; slot < slots.size(); ++slot)
    EXPECT_EQ(slots[slot] != nullptr, served[slot]) << "slot " << slot;
}

TEST_F(OperationTable, UnsupportedSlotsAnswerInvalidDeviceRequest) {
  std::uint32_t count = 77;
  std::uint64_t size = 0;
  FSP_FSCTL_VOLUME_INFO volume{};
  char16_t label[] = u"x";
  const std::array<NtStatus, 10> answers = {
      table.SetVolumeLabel_(&file_system, label, &volume),
      table.GetSecurity(&file_system, nullptr, nullptr, &size),
      table.SetSecurity(&file_system, nullptr, 0, nullptr),
      table.GetReparsePoint(&file_system, nullptr, name, nullptr, &size),
      table.SetReparsePoint(&file_system, nullptr, name, nullptr, 0),
      table.DeleteReparsePoint(&file_system, nullptr, name, nullptr, 0),
      table.GetStreamInfo(&file_system, nullptr, nullptr, 0, &count),
      table.Control(&file_system, nullptr, 0, nullptr, 0, nullptr, 0, &count),
      table.GetEa(&file_system, nullptr, nullptr, 0, &count),
      table.SetEa(&file_system, nullptr, nullptr, 0, nullptr),
  };
  for (const NtStatus answer : answers) EXPECT_EQ(answer, nt_status(0xC0000010));
  EXPECT_EQ(count, 0u);  // GetStreamInfo reports no bytes
}

TEST_F(OperationTable, AnOpenFileReachesLaterCallsAndCloseReleasesIt) {
  auto record = std::make_shared<FakeOpenFile>(FakeOpenFile{7});
  const std::weak_ptr<FakeOpenFile> watched = record;
  EXPECT_CALL(context, open(Eq(passed(u"\\a")), 0x40u, 0x120089u, _)).WillOnce(Return(record));
  void* cell = nullptr;
  FSP_FSCTL_OPEN_FILE_INFO info{};
  ASSERT_EQ(table.Open(&file_system, name, 0x40, 0x120089, &cell, &info.FileInfo), kStatusSuccess);
  ASSERT_NE(cell, nullptr);
  record.reset();
  EXPECT_FALSE(watched.expired()) << "WinFsp holds the open file";

  EXPECT_CALL(context, get_file_info(_, _))
      .WillOnce(Invoke([](const FakeFileRef& file, FSP_FSCTL_FILE_INFO&) {
        EXPECT_EQ(file->id, 7);
        return OperationResult<void>{};
      }));
  FSP_FSCTL_FILE_INFO file_info{};
  EXPECT_EQ(table.GetFileInfo(&file_system, cell, &file_info), kStatusSuccess);

  EXPECT_CALL(context, close(_)).WillOnce(Invoke([](FakeFileRef file) { EXPECT_EQ(file->id, 7); }));
  table.Close(&file_system, cell);
  EXPECT_TRUE(watched.expired());
}

TEST_F(OperationTable, AFailedOpenOrCreateGivesWinFspNoFileContext) {
  EXPECT_CALL(context, open(_, _, _, _)).WillOnce(Return(fail(kStatusObjectNameNotFound)));
  EXPECT_CALL(context, create(_, _, _, _, _)).WillOnce(Return(fail(kStatusObjectNameCollision)));
  void* cell = &context;
  FSP_FSCTL_OPEN_FILE_INFO info{};
  EXPECT_EQ(table.Open(&file_system, name, 0, 0, &cell, &info.FileInfo), kStatusObjectNameNotFound);
  EXPECT_EQ(table.CreateEx(&file_system, name, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &cell, &info.FileInfo),
            kStatusObjectNameCollision);
  EXPECT_EQ(cell, &context);
}

TEST_F(OperationTable, ErrorsReachWinFspAsNtStatus) {
  struct Case {
    OperationError error;
    NtStatus expected;
  };
  const Case cases[] = {
      {kStatusSharingViolation, kStatusSharingViolation},             // a status as it is
      {morva::IoErrorKind::invalid_input, kStatusInvalidParameter},   // through Win32 error 87
      {morva::IoErrorKind::not_found, kStatusObjectNameNotFound},     // through Win32 error 2
      {morva::IoErrorKind::invalid_data, nt_status(0xC00000E9)},      // no Win32 code
      {morva::IoErrorKind::connection_reset, nt_status(0xC00000E9)},  // no Win32 code
  };
  for (const Case& test : cases) {
    EXPECT_CALL(context, get_security_by_name(_)).WillOnce(Return(std::unexpected(test.error)));
    EXPECT_EQ(table.GetSecurityByName(&file_system, name, nullptr, nullptr, nullptr), test.expected);
  }
}

TEST_F(OperationTable, GetSecurityByNameGivesAttributesAndAnEmptyDescriptor) {
  EXPECT_CALL(context, get_security_by_name(Eq(passed(u"\\a")))).Times(2).WillRepeatedly(Return(0x10u));
  std::uint32_t attributes = 0;
  std::uint64_t descriptor_size = 4096;
  std::array<std::uint8_t, 16> descriptor;
  descriptor.fill(0xAB);
  EXPECT_EQ(table.GetSecurityByName(&file_system, name, &attributes, descriptor.data(), &descriptor_size),
            kStatusSuccess);
  EXPECT_EQ(attributes, 0x10u);
  EXPECT_EQ(descriptor_size, 0u);
  EXPECT_EQ(descriptor[0], 0xAB);
  EXPECT_EQ(table.GetSecurityByName(&file_system, name, nullptr, nullptr, nullptr), kStatusSuccess);
}

TEST_F(OperationTable, ReadAndWriteRefuseMissingBuffersWithoutTheContext) {
  void* cell = open(std::make_shared<FakeOpenFile>());
  char data[4] = "abc";
  FSP_FSCTL_FILE_INFO info{};
  std::uint32_t count = 123;
  EXPECT_EQ(table.Read(&file_system, cell, nullptr, 0, 4, &count), kStatusInsufficientResources);
  EXPECT_EQ(count, 0u);
  count = 123;
  EXPECT_EQ(table.Write(&file_system, cell, data, 0, 3, 0, 0, &count, nullptr), kStatusInsufficientResources);
  EXPECT_EQ(count, 123u) << "a missing FileInfo is refused before the count is touched";
  EXPECT_EQ(table.Write(&file_system, cell, nullptr, 0, 3, 0, 0, &count, &info),
            kStatusInsufficientResources);
  EXPECT_EQ(count, 0u);
  close(cell);
}

TEST_F(OperationTable, ReadAndWritePassTheirRangeAndReportTheCount) {
  void* cell = open(std::make_shared<FakeOpenFile>());
  char data[8] = "abcdefg";
  EXPECT_CALL(context, read(_, _, 900u))
      .WillOnce(Invoke([&](const FakeFileRef&, std::span<std::byte> buffer, auto) {
        EXPECT_EQ(buffer.data(), reinterpret_cast<std::byte*>(data));
        EXPECT_EQ(buffer.size(), 8u);
        return OperationResult<std::uint32_t>(5);
      }));
  EXPECT_CALL(context, write(_, _, 16u, true, false, _))
      .WillOnce(Invoke([&](const FakeFileRef&, std::span<const std::byte> source, auto, auto, auto, auto&) {
        EXPECT_EQ(source.size(), 7u);
        return OperationResult<std::uint32_t>(7);
      }));
  std::uint32_t count = 0;
  EXPECT_EQ(table.Read(&file_system, cell, data, 900, 8, &count), kStatusSuccess);
  EXPECT_EQ(count, 5u);
  FSP_FSCTL_FILE_INFO info{};
  EXPECT_EQ(table.Write(&file_system, cell, data, 16, 7, 1, 0, &count, &info), kStatusSuccess);
  EXPECT_EQ(count, 7u);
  close(cell);
}

TEST_F(OperationTable, SlotsPassWhatTheOperationsTake) {
  void* cell = open(std::make_shared<FakeOpenFile>());
  char16_t new_name[] = u"\\b";
  FSP_FSCTL_FILE_INFO info{};
  FSP_FSCTL_OPEN_FILE_INFO open_info{};
  DirInfoRecord record{};
  const OperationResult<void> done;
  EXPECT_CALL(context, set_basic_info(_, 3u, _)).WillOnce(Return(done));
  EXPECT_CALL(context, set_file_size(_, 4096u, true, _)).WillOnce(Return(done));
  EXPECT_CALL(context, rename(_, Eq(passed(u"\\b")), true)).WillOnce(Return(done));
  EXPECT_CALL(context, set_delete(_, true)).WillOnce(Return(done));
  EXPECT_CALL(context, overwrite(_, 512u, _)).WillOnce(Return(done));
  EXPECT_CALL(context, get_dir_info_by_name(_, Eq(passed(u"\\a")), _)).WillOnce(Return(done));
  EXPECT_CALL(context, flush(_, _)).WillOnce(Return(done));
  EXPECT_CALL(context, cleanup(_, kFspCleanupDelete));
  EXPECT_CALL(context, create(Eq(passed(u"\\b")), kFileDirectoryFile, 0x1F01FFu, 4096u, _))
      .WillOnce(Return(std::make_shared<FakeOpenFile>()));

  EXPECT_EQ(table.SetBasicInfo(&file_system, cell, 0x80, 1, 2, 3, 4, &info), kStatusSuccess);
  EXPECT_EQ(table.SetFileSize(&file_system, cell, 4096, 1, &info), kStatusSuccess);
  EXPECT_EQ(table.Rename(&file_system, cell, name, new_name, 1), kStatusSuccess);
  EXPECT_EQ(table.SetDelete(&file_system, cell, name, 1), kStatusSuccess);
  EXPECT_EQ(table.OverwriteEx(&file_system, cell, 0x80, 1, 512, nullptr, 0, &info), kStatusSuccess);
  EXPECT_EQ(table.GetDirInfoByName(&file_system, cell, name, &record.info), kStatusSuccess);
  EXPECT_EQ(table.Flush(&file_system, cell, &info), kStatusSuccess);
  table.Cleanup(&file_system, cell, name, kFspCleanupDelete);
  void* created = nullptr;
  EXPECT_EQ(table.CreateEx(&file_system, new_name, kFileDirectoryFile, 0x1F01FF, 0x10, nullptr, 4096, nullptr,
                           0, 0, &created, &open_info.FileInfo),
            kStatusSuccess);
  close(created);
  close(cell);
}

TEST_F(OperationTable, ReadDirectoryFillsWinFspsBufferThroughAddDirInfo) {
  void* cell = open(std::make_shared<FakeOpenFile>());
  char16_t marker[] = u"m";
  EXPECT_CALL(context, read_directory(_, Eq(std::nullopt), Optional(Eq(passed(u"m"))), _))
      .WillOnce(Invoke([](const FakeFileRef&, auto, auto, DirectoryBuffer& buffer) {
        DirInfoRecord entry{};
        set_dir_info_name(entry.info, u"n");
        EXPECT_TRUE(buffer.add(entry.info));
        EXPECT_TRUE(buffer.add_end());
        return OperationResult<std::uint32_t>(buffer.bytes_transferred());
      }));
  std::array<std::uint64_t, 64> buffer{};
  std::uint32_t count = 99;
  EXPECT_EQ(table.ReadDirectory(&file_system, cell, nullptr, marker, buffer.data(), sizeof(buffer), &count),
            kStatusSuccess);
  EXPECT_EQ(count, 112u + 2u);  // 106 bytes aligned to 112, then the end marker
  FSP_FSCTL_DIR_INFO first{};
  std::memcpy(&first, buffer.data(), sizeof(first));
  EXPECT_EQ(first.Size, 106u);
  close(cell);
}

TEST_F(OperationTable, FlushOfTheVolumeAsksTheContextAndAnswersItsStatus) {
  FSP_FSCTL_FILE_INFO info{};
  EXPECT_CALL(context, flush_volume())
      .WillOnce(Return(OperationResult<void>{}))
      .WillOnce(Return(OperationResult<void>(fail(nt_status(0xC0000162)))));
  EXPECT_EQ(table.Flush(&file_system, nullptr, &info), kStatusSuccess);
  EXPECT_EQ(table.Flush(&file_system, nullptr, nullptr), nt_status(0xC0000162)) << "no FileInfo for a volume";
  table.Close(&file_system, nullptr);
}

TEST_F(OperationTable, InternalFaultsEndOnlyTheirCall) {
  auto record = std::make_shared<FakeOpenFile>();
  const std::weak_ptr<FakeOpenFile> watched = record;
  void* cell = open(std::move(record));
  EXPECT_CALL(context, read(_, _, _)).WillOnce(Invoke([](auto&&...) -> OperationResult<std::uint32_t> {
    throw std::logic_error("broken invariant");
  }));
  EXPECT_CALL(context, cleanup(_, _)).WillOnce(Invoke([](auto&&...) { throw std::bad_alloc(); }));
  EXPECT_CALL(context, close(_)).WillOnce(Invoke([](auto&&...) { throw 42; }));
  char data[4];
  std::uint32_t count = 0;
  const CapturedEvents events;
  EXPECT_EQ(table.Read(&file_system, cell, data, 0, 4, &count), nt_status(0xC0000025));
  ASSERT_FALSE(events.lines().empty());
  EXPECT_EQ(events.lines().front(),
            "WinFsp operation ended by an internal fault slot=Read error=broken invariant");
  EXPECT_EQ(table.GetFileInfo(&file_system, cell, nullptr), nt_status(0xC0000025)) << "a missing FileInfo";
  EXPECT_EQ(table.GetFileInfo(&file_system, nullptr, nullptr), nt_status(0xC0000025))
      << "a missing file context";
  table.Cleanup(&file_system, cell, name, 0);
  table.Close(&file_system, cell);
  EXPECT_TRUE(watched.expired()) << "Close releases the file context even when the operation fails";

  EXPECT_CALL(context, get_security_by_name(_)).WillOnce(Return(0x80u));
  EXPECT_EQ(table.GetSecurityByName(&file_system, name, nullptr, nullptr, nullptr), kStatusSuccess);
}

TEST_F(OperationTable, ResolveReparsePointsFindsNone) {
  IO_STATUS_BLOCK* io_status = nullptr;
  std::uint64_t size = 0;
  char16_t path[] = u"\\a\\b";
  // The stand-in asks about every prefix and answers "not found" when none is a reparse point.
  EXPECT_EQ(table.ResolveReparsePoints(&file_system, path, 0, 1, io_status, nullptr, &size),
            kStatusObjectNameNotFound);
}

}  // namespace
}  // namespace varlin::filesystem
