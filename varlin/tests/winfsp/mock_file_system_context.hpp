#pragma once

#include <gmock/gmock.h>

#include <memory>
#include <string>

#include "winfsp/file_system_context.hpp"

namespace varlin::filesystem {

// The open-file record the mock hands out.
struct FakeOpenFile {
  int id = 0;
};

using FakeFileRef = std::shared_ptr<FakeOpenFile>;

class MockFileSystemContext : public FileSystemContext<FakeFileRef> {
 public:
  MOCK_METHOD(VolumeSize, volume_space, (), (override));
  MOCK_METHOD(const std::string&, volume_label, (), (const, override));
  MOCK_METHOD(void, dispatcher_stopped, (bool), (override));
  MOCK_METHOD(OperationResult<std::uint32_t>, get_security_by_name, (FileName), (override));
  MOCK_METHOD(OperationResult<FakeFileRef>, open,
              (FileName, std::uint32_t, std::uint32_t, winfsp::FSP_FSCTL_OPEN_FILE_INFO&), (override));
  MOCK_METHOD(void, cleanup, (const FakeFileRef&, std::uint32_t), (override));
  MOCK_METHOD(void, close, (FakeFileRef), (override));
  MOCK_METHOD(OperationResult<std::uint32_t>, read, (const FakeFileRef&, std::span<std::byte>, std::uint64_t),
              (override));
  MOCK_METHOD(OperationResult<std::uint32_t>, write,
              (const FakeFileRef&, std::span<const std::byte>, std::uint64_t, bool, bool,
               winfsp::FSP_FSCTL_FILE_INFO&),
              (override));
  MOCK_METHOD(OperationResult<void>, flush, (const FakeFileRef&, winfsp::FSP_FSCTL_FILE_INFO&), (override));
  MOCK_METHOD(OperationResult<void>, flush_volume, (), (override));
  MOCK_METHOD(OperationResult<void>, get_file_info, (const FakeFileRef&, winfsp::FSP_FSCTL_FILE_INFO&),
              (override));
  MOCK_METHOD(OperationResult<void>, set_basic_info,
              (const FakeFileRef&, std::uint64_t, winfsp::FSP_FSCTL_FILE_INFO&), (override));
  MOCK_METHOD(OperationResult<void>, set_file_size,
              (const FakeFileRef&, std::uint64_t, bool, winfsp::FSP_FSCTL_FILE_INFO&), (override));
  MOCK_METHOD(OperationResult<void>, rename, (const FakeFileRef&, FileName, bool), (override));
  MOCK_METHOD(OperationResult<std::uint32_t>, read_directory,
              (const FakeFileRef&, std::optional<FileName>, std::optional<FileName>, DirectoryBuffer&),
              (override));
  MOCK_METHOD(OperationResult<void>, get_dir_info_by_name,
              (const FakeFileRef&, FileName, winfsp::FSP_FSCTL_DIR_INFO&), (override));
  MOCK_METHOD(OperationResult<void>, set_delete, (const FakeFileRef&, bool), (override));
  MOCK_METHOD(OperationResult<FakeFileRef>, create,
              (FileName, std::uint32_t, std::uint32_t, std::uint64_t, winfsp::FSP_FSCTL_OPEN_FILE_INFO&),
              (override));
  MOCK_METHOD(OperationResult<void>, overwrite,
              (const FakeFileRef&, std::uint64_t, winfsp::FSP_FSCTL_FILE_INFO&), (override));
};

}  // namespace varlin::filesystem
