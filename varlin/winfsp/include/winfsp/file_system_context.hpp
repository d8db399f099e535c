#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "winfsp/directory_buffer.hpp"
#include "winfsp/operation_error.hpp"
#include "winfsp/records.hpp"

namespace varlin::filesystem {

// A file name as WinFsp passes it: UTF-16, its size counting the terminating zero.
using FileName = std::u16string_view;

struct VolumeSize {
  std::uint64_t total = 0;
  std::uint64_t free = 0;

  friend bool operator==(const VolumeSize&, const VolumeSize&) = default;
};

// What every mounted file system answers without an open file: the volume information and the end of
// WinFsp's dispatcher.
class FileSystemContextBase {
 public:
  FileSystemContextBase() = default;
  FileSystemContextBase(const FileSystemContextBase&) = delete;
  FileSystemContextBase& operator=(const FileSystemContextBase&) = delete;
  virtual ~FileSystemContextBase() = default;

  // The volume's total and free bytes.
  virtual VolumeSize volume_space() = 0;
  // The volume label, UTF-8.
  virtual const std::string& volume_label() const = 0;
  // WinFsp's dispatcher has ended, normally or not.
  virtual void dispatcher_stopped(bool normally) = 0;
  // The mount is about to stop: whatever it holds unsaved is kept on this computer at once, before
  // anything waits for an operation under way. A file system that holds nothing unsaved does nothing.
  virtual void keep_unsaved_texts() {}

  // Fills the sizes and the label, cut to the record's 32 UTF-16 units.
  void get_volume_info(winfsp::FSP_FSCTL_VOLUME_INFO& info);
};

// The file system behind WinFsp's operation table: one method per served slot. `FileContext` is what
// open and create hand to WinFsp for an open file (a shared reference to its record); WinFsp passes it
// to every later call on that file and gives it back to close.
template <typename FileContext>
class FileSystemContext : public FileSystemContextBase {
 public:
  using File = FileContext;

  // GetSecurityByName: the entry's file attributes.
  virtual OperationResult<std::uint32_t> get_security_by_name(FileName name) = 0;
  virtual OperationResult<FileContext> open(FileName name, std::uint32_t create_options,
                                            std::uint32_t granted_access,
                                            winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) = 0;
  virtual void cleanup(const FileContext& file, std::uint32_t flags) = 0;
  // Takes WinFsp's reference over.
  virtual void close(FileContext file) = 0;
  // Fills `buffer` from `offset`; the byte count.
  virtual OperationResult<std::uint32_t> read(const FileContext& file, std::span<std::byte> buffer,
                                              std::uint64_t offset) = 0;
  // The byte count written.
  virtual OperationResult<std::uint32_t> write(const FileContext& file, std::span<const std::byte> data,
                                               std::uint64_t offset, bool write_to_end_of_file,
                                               bool constrained_io, winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
  virtual OperationResult<void> flush(const FileContext& file, winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
  // Flush of the whole volume: nothing held back may stay unsaved.
  virtual OperationResult<void> flush_volume() = 0;
  virtual OperationResult<void> get_file_info(const FileContext& file, winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
  virtual OperationResult<void> set_basic_info(const FileContext& file, std::uint64_t last_write_time,
                                               winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
  virtual OperationResult<void> set_file_size(const FileContext& file, std::uint64_t new_size,
                                              bool set_allocation_size,
                                              winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
  virtual OperationResult<void> rename(const FileContext& file, FileName new_name,
                                       bool replace_if_exists) = 0;
  // The bytes placed in `buffer`.
  virtual OperationResult<std::uint32_t> read_directory(const FileContext& file,
                                                        std::optional<FileName> pattern,
                                                        std::optional<FileName> marker,
                                                        DirectoryBuffer& buffer) = 0;
  // `dir_info` has room for a name of winfsp::kMaxDirInfoNameUnits.
  virtual OperationResult<void> get_dir_info_by_name(const FileContext& file, FileName name,
                                                     winfsp::FSP_FSCTL_DIR_INFO& dir_info) = 0;
  virtual OperationResult<void> set_delete(const FileContext& file, bool delete_file) = 0;
  virtual OperationResult<FileContext> create(FileName name, std::uint32_t create_options,
                                              std::uint32_t granted_access, std::uint64_t allocation_size,
                                              winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) = 0;
  virtual OperationResult<void> overwrite(const FileContext& file, std::uint64_t allocation_size,
                                          winfsp::FSP_FSCTL_FILE_INFO& info) = 0;
};

}  // namespace varlin::filesystem
