#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "winfsp/file_system_context.hpp"

namespace winfsp_stub {

// An open file of the memory file system.
struct MemoryFile {
  std::u16string path;
  bool delete_pending = false;
};

using MemoryFileRef = std::shared_ptr<MemoryFile>;

// A file system held in memory, for driving the operation table and the stand-in WinFsp in tests:
// names are case-sensitive paths below "\", files hold bytes, directories list their children in
// name order.
class MemoryFileSystem final : public varlin::filesystem::FileSystemContext<MemoryFileRef> {
 public:
  explicit MemoryFileSystem(std::string label = "memory");
  ~MemoryFileSystem() override;

  // Test set-up and inspection, by path ("\dir\file").
  void add_directory(std::u16string path);
  void add_file(std::u16string path, std::string content);
  std::optional<std::string> content(const std::u16string& path) const;
  bool exists(const std::u16string& path) const;

  int dispatcher_stops() const { return dispatcher_stops_; }
  // Called at each end of the dispatcher, after the count has grown.
  void on_dispatcher_stopped(std::move_only_function<void()> hook);
  // Set when the object is destroyed.
  void watch_release(std::shared_ptr<std::atomic<bool>> released) { released_ = std::move(released); }

  varlin::filesystem::VolumeSize volume_space() override;
  const std::string& volume_label() const override { return label_; }
  void dispatcher_stopped(bool normally) override;

  varlin::filesystem::OperationResult<std::uint32_t> get_security_by_name(
      varlin::filesystem::FileName name) override;
  varlin::filesystem::OperationResult<MemoryFileRef> open(
      varlin::filesystem::FileName name, std::uint32_t create_options, std::uint32_t granted_access,
      varlin::winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) override;
  void cleanup(const MemoryFileRef& file, std::uint32_t flags) override;
  void close(MemoryFileRef file) override;
  varlin::filesystem::OperationResult<std::uint32_t> read(const MemoryFileRef& file,
                                                          std::span<std::byte> buffer,
                                                          std::uint64_t offset) override;
  varlin::filesystem::OperationResult<std::uint32_t> write(
      const MemoryFileRef& file, std::span<const std::byte> data, std::uint64_t offset,
      bool write_to_end_of_file, bool constrained_io, varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;
  varlin::filesystem::OperationResult<void> flush(const MemoryFileRef& file,
                                                  varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;
  // Nothing is held back.
  varlin::filesystem::OperationResult<void> flush_volume() override { return {}; }
  varlin::filesystem::OperationResult<void> get_file_info(const MemoryFileRef& file,
                                                          varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;
  varlin::filesystem::OperationResult<void> set_basic_info(
      const MemoryFileRef& file, std::uint64_t last_write_time,
      varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;
  varlin::filesystem::OperationResult<void> set_file_size(const MemoryFileRef& file, std::uint64_t new_size,
                                                          bool set_allocation_size,
                                                          varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;
  varlin::filesystem::OperationResult<void> rename(const MemoryFileRef& file,
                                                   varlin::filesystem::FileName new_name,
                                                   bool replace_if_exists) override;
  varlin::filesystem::OperationResult<std::uint32_t> read_directory(
      const MemoryFileRef& file, std::optional<varlin::filesystem::FileName> pattern,
      std::optional<varlin::filesystem::FileName> marker,
      varlin::filesystem::DirectoryBuffer& buffer) override;
  varlin::filesystem::OperationResult<void> get_dir_info_by_name(
      const MemoryFileRef& file, varlin::filesystem::FileName name,
      varlin::winfsp::FSP_FSCTL_DIR_INFO& dir_info) override;
  varlin::filesystem::OperationResult<void> set_delete(const MemoryFileRef& file, bool delete_file) override;
  varlin::filesystem::OperationResult<MemoryFileRef> create(
      varlin::filesystem::FileName name, std::uint32_t create_options, std::uint32_t granted_access,
      std::uint64_t allocation_size, varlin::winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) override;
  varlin::filesystem::OperationResult<void> overwrite(const MemoryFileRef& file,
                                                      std::uint64_t allocation_size,
                                                      varlin::winfsp::FSP_FSCTL_FILE_INFO& info) override;

 private:
  struct Node {
    bool directory = false;
    std::string content;
    std::uint64_t write_time = 0;  // FILETIME
  };

  using Tree = std::map<std::u16string, Node>;

  static Node directory_node();
  static Node file_node(std::string content);

  Node* find(const std::u16string& path);
  // The node of an open file; STATUS_FILE_CLOSED once it was deleted.
  varlin::filesystem::OperationResult<Node*> node_of(const MemoryFile& file);
  std::vector<std::pair<std::u16string, const Node*>> children(const std::u16string& directory) const;
  void fill(varlin::winfsp::FSP_FSCTL_FILE_INFO& info, const std::u16string& path, const Node& node) const;

  std::string label_;
  mutable std::mutex mutex_;
  Tree tree_;
  std::atomic<int> dispatcher_stops_ = 0;
  std::mutex dispatcher_hook_mutex_;
  std::move_only_function<void()> dispatcher_hook_;
  std::shared_ptr<std::atomic<bool>> released_;
};

}  // namespace winfsp_stub
