#include "memory_file_system.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <iterator>

#include "winfsp/dir_info.hpp"

namespace winfsp_stub {

namespace {

using varlin::filesystem::DirectoryBuffer;
using varlin::filesystem::fail;
using varlin::filesystem::FileName;
using varlin::filesystem::OperationResult;
using namespace varlin::winfsp;

constexpr std::uint64_t kVolumeBytes = 1ull << 30;
constexpr std::u16string_view kRoot = u"\\";

std::u16string path_of(FileName name) {
  std::u16string path(name.substr(0, name.size() - 1));  // without the terminating zero
  while (path.size() > 1 && path.back() == u'\\') path.pop_back();
  return path.empty() ? std::u16string(kRoot) : path;
}

std::u16string parent_of(const std::u16string& path) {
  const std::size_t last = path.rfind(u'\\');
  return last == 0 || last == std::u16string::npos ? std::u16string(kRoot) : path.substr(0, last);
}

std::u16string child_path(const std::u16string& directory, std::u16string_view name) {
  return (directory == kRoot ? std::u16string(kRoot) : directory + u"\\").append(name);
}

// True when `path` is `top` or lies below it.
bool at_or_below(const std::u16string& path, const std::u16string& top) {
  return path == top || (path.starts_with(top) && path.size() > top.size() && path[top.size()] == u'\\');
}

std::uint64_t now_filetime() {
  constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000;
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpoch + static_cast<std::uint64_t>(
                          std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count()) *
                          10;
}

}  // namespace

MemoryFileSystem::Node MemoryFileSystem::directory_node() {
  Node node;
  node.directory = true;
  node.write_time = now_filetime();
  return node;
}

MemoryFileSystem::Node MemoryFileSystem::file_node(std::string content) {
  Node node;
  node.content = std::move(content);
  node.write_time = now_filetime();
  return node;
}

MemoryFileSystem::MemoryFileSystem(std::string label) : label_(std::move(label)) {
  tree_[std::u16string(kRoot)] = directory_node();
}

MemoryFileSystem::~MemoryFileSystem() {
  if (released_) *released_ = true;
}

void MemoryFileSystem::on_dispatcher_stopped(std::move_only_function<void()> hook) {
  std::lock_guard lock(dispatcher_hook_mutex_);
  dispatcher_hook_ = std::move(hook);
}

void MemoryFileSystem::dispatcher_stopped(bool /*normally*/) {
  ++dispatcher_stops_;
  std::lock_guard lock(dispatcher_hook_mutex_);
  if (dispatcher_hook_) dispatcher_hook_();
}

void MemoryFileSystem::add_directory(std::u16string path) {
  std::lock_guard lock(mutex_);
  tree_[std::move(path)] = directory_node();
}

void MemoryFileSystem::add_file(std::u16string path, std::string content) {
  std::lock_guard lock(mutex_);
  tree_[std::move(path)] = file_node(std::move(content));
}

std::optional<std::string> MemoryFileSystem::content(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = tree_.find(path);
  if (found == tree_.end() || found->second.directory) return std::nullopt;
  return found->second.content;
}

bool MemoryFileSystem::exists(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  return tree_.contains(path);
}

MemoryFileSystem::Node* MemoryFileSystem::find(const std::u16string& path) {
  const auto found = tree_.find(path);
  return found == tree_.end() ? nullptr : &found->second;
}

OperationResult<MemoryFileSystem::Node*> MemoryFileSystem::node_of(const MemoryFile& file) {
  Node* node = find(file.path);
  if (node == nullptr) return fail(kStatusObjectNameNotFound);
  return node;
}

std::vector<std::pair<std::u16string, const MemoryFileSystem::Node*>> MemoryFileSystem::children(
    const std::u16string& directory) const {
  std::vector<std::pair<std::u16string, const Node*>> found;
  for (const auto& [path, node] : tree_) {
    if (path != kRoot && parent_of(path) == directory)
      found.emplace_back(path.substr(path.rfind(u'\\') + 1), &node);
  }
  return found;
}

void MemoryFileSystem::fill(FSP_FSCTL_FILE_INFO& info, const std::u16string& path, const Node& node) const {
  info = FSP_FSCTL_FILE_INFO{};
  info.FileAttributes = node.directory ? kFileAttributeDirectory : kFileAttributeNormal;
  info.FileSize = info.AllocationSize = node.content.size();
  info.CreationTime = info.LastAccessTime = info.LastWriteTime = info.ChangeTime = node.write_time;
  info.IndexNumber = std::hash<std::u16string>{}(path);
}

varlin::filesystem::VolumeSize MemoryFileSystem::volume_space() {
  std::lock_guard lock(mutex_);
  std::uint64_t used = 0;
  for (const auto& entry : tree_) used += entry.second.content.size();
  return {.total = kVolumeBytes, .free = kVolumeBytes - std::min(used, kVolumeBytes)};
}

OperationResult<std::uint32_t> MemoryFileSystem::get_security_by_name(FileName name) {
  std::lock_guard lock(mutex_);
  const Node* node = find(path_of(name));
  if (node == nullptr) return fail(kStatusObjectNameNotFound);
  return node->directory ? kFileAttributeDirectory : kFileAttributeNormal;
}

OperationResult<MemoryFileRef> MemoryFileSystem::open(FileName name, std::uint32_t create_options,
                                                      std::uint32_t /*granted_access*/,
                                                      FSP_FSCTL_OPEN_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const std::u16string path = path_of(name);
  const Node* node = find(path);
  if (node == nullptr)
    return fail(find(parent_of(path)) ? kStatusObjectNameNotFound : kStatusObjectPathNotFound);
  if ((create_options & kFileNonDirectoryFile) != 0 && node->directory) return fail(kStatusFileIsADirectory);
  if ((create_options & kFileDirectoryFile) != 0 && !node->directory) return fail(kStatusNotADirectory);
  fill(info.FileInfo, path, *node);
  set_normalized_name(info, name.substr(0, name.size() - 1));
  return std::make_shared<MemoryFile>(MemoryFile{.path = path});
}

OperationResult<MemoryFileRef> MemoryFileSystem::create(FileName name, std::uint32_t create_options,
                                                        std::uint32_t /*granted_access*/,
                                                        std::uint64_t allocation_size,
                                                        FSP_FSCTL_OPEN_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const std::u16string path = path_of(name);
  if (find(path) != nullptr) return fail(kStatusObjectNameCollision);
  const Node* parent = find(parent_of(path));
  if (parent == nullptr || !parent->directory) return fail(kStatusObjectPathNotFound);
  Node& node = tree_[path];
  node.directory = (create_options & kFileDirectoryFile) != 0;
  if (!node.directory) node.content.resize(allocation_size);
  node.write_time = now_filetime();
  fill(info.FileInfo, path, node);
  set_normalized_name(info, name.substr(0, name.size() - 1));
  return std::make_shared<MemoryFile>(MemoryFile{.path = path});
}

void MemoryFileSystem::cleanup(const MemoryFileRef& file, std::uint32_t flags) {
  if ((flags & kFspCleanupDelete) == 0) return;
  std::lock_guard lock(mutex_);
  tree_.erase(file->path);
}

void MemoryFileSystem::close(MemoryFileRef /*file*/) {}

OperationResult<std::uint32_t> MemoryFileSystem::read(const MemoryFileRef& file, std::span<std::byte> buffer,
                                                      std::uint64_t offset) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  if ((*node)->directory) return fail(kStatusFileIsADirectory);
  const std::string& content = (*node)->content;
  if (offset >= content.size()) return 0;
  const std::size_t count = std::min<std::size_t>(buffer.size(), content.size() - offset);
  std::memcpy(buffer.data(), content.data() + offset, count);
  return static_cast<std::uint32_t>(count);
}

OperationResult<std::uint32_t> MemoryFileSystem::write(const MemoryFileRef& file,
                                                       std::span<const std::byte> data, std::uint64_t offset,
                                                       bool write_to_end_of_file, bool constrained_io,
                                                       FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  if ((*node)->directory) return fail(kStatusFileIsADirectory);
  std::string& content = (*node)->content;
  if (write_to_end_of_file) offset = content.size();
  std::size_t length = data.size();
  if (constrained_io)
    length = offset >= content.size() ? 0 : std::min<std::size_t>(length, content.size() - offset);
  if (offset + length > content.size()) content.resize(offset + length);
  std::memcpy(content.data() + offset, data.data(), length);
  (*node)->write_time = now_filetime();
  fill(info, file->path, **node);
  return static_cast<std::uint32_t>(length);
}

OperationResult<void> MemoryFileSystem::flush(const MemoryFileRef& file, FSP_FSCTL_FILE_INFO& info) {
  return get_file_info(file, info);
}

OperationResult<void> MemoryFileSystem::get_file_info(const MemoryFileRef& file, FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  fill(info, file->path, **node);
  return {};
}

OperationResult<void> MemoryFileSystem::set_basic_info(const MemoryFileRef& file,
                                                       std::uint64_t last_write_time,
                                                       FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  if (last_write_time != 0) (*node)->write_time = last_write_time;
  fill(info, file->path, **node);
  return {};
}

OperationResult<void> MemoryFileSystem::set_file_size(const MemoryFileRef& file, std::uint64_t new_size,
                                                      bool set_allocation_size, FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  std::string& content = (*node)->content;
  if (!set_allocation_size || new_size < content.size()) content.resize(new_size);
  fill(info, file->path, **node);
  return {};
}

OperationResult<void> MemoryFileSystem::rename(const MemoryFileRef& file, FileName new_name,
                                               bool replace_if_exists) {
  std::lock_guard lock(mutex_);
  const std::u16string target = path_of(new_name);
  if (const Node* existing = find(target)) {
    if (!replace_if_exists) return fail(kStatusObjectNameCollision);
    if (existing->directory) return fail(kStatusAccessDenied);
  }
  if (find(parent_of(target)) == nullptr) return fail(kStatusObjectPathNotFound);
  Tree moved;
  for (auto entry = tree_.begin(); entry != tree_.end();) {
    if (!at_or_below(entry->first, file->path)) {
      ++entry;
      continue;
    }
    moved[target + entry->first.substr(file->path.size())] = std::move(entry->second);
    entry = tree_.erase(entry);
  }
  for (auto& entry : moved) tree_.insert_or_assign(entry.first, std::move(entry.second));
  file->path = target;
  return {};
}

OperationResult<std::uint32_t> MemoryFileSystem::read_directory(const MemoryFileRef& file,
                                                                std::optional<FileName> pattern,
                                                                std::optional<FileName> marker,
                                                                DirectoryBuffer& buffer) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  if (!(*node)->directory) return fail(kStatusNotADirectory);

  std::vector<std::pair<std::u16string, const Node*>> entries;
  if (file->path != kRoot) {
    entries.emplace_back(u".", *node);
    entries.emplace_back(u"..", find(parent_of(file->path)));
  }
  std::ranges::move(children(file->path), std::back_inserter(entries));
  if (pattern) {
    const std::u16string wanted(pattern->substr(0, pattern->size() - 1));
    std::erase_if(entries, [&](const auto& entry) { return entry.first != wanted; });
  }
  auto next = entries.begin();
  if (marker) {
    const std::u16string after(marker->substr(0, marker->size() - 1));
    const auto named = std::ranges::find(entries, after, &std::pair<std::u16string, const Node*>::first);
    next = named != entries.end() ? named + 1 : std::ranges::find_if(entries, [&](const auto& entry) {
      return entry.first != u"." && entry.first != u".." && entry.first > after;
    });
  }
  for (; next != entries.end(); ++next) {
    DirInfoRecord record{};
    fill(record.info.FileInfo, child_path(file->path, next->first), *next->second);
    set_dir_info_name(record.info, next->first);
    if (!buffer.add(record.info)) return buffer.bytes_transferred();
  }
  buffer.add_end();
  return buffer.bytes_transferred();
}

OperationResult<void> MemoryFileSystem::get_dir_info_by_name(const MemoryFileRef& file, FileName name,
                                                             FSP_FSCTL_DIR_INFO& dir_info) {
  std::lock_guard lock(mutex_);
  const std::u16string_view entry_name = name.substr(0, name.size() - 1);
  const std::u16string path = child_path(file->path, entry_name);
  const Node* node = find(path);
  if (node == nullptr) return fail(kStatusObjectNameNotFound);
  fill(dir_info.FileInfo, path, *node);
  if (!set_dir_info_name(dir_info, entry_name)) return fail(kStatusInsufficientResources);
  return {};
}

OperationResult<void> MemoryFileSystem::set_delete(const MemoryFileRef& file, bool delete_file) {
  std::lock_guard lock(mutex_);
  if (delete_file && !children(file->path).empty()) return fail(kStatusDirectoryNotEmpty);
  file->delete_pending = delete_file;
  return {};
}

OperationResult<void> MemoryFileSystem::overwrite(const MemoryFileRef& file, std::uint64_t allocation_size,
                                                  FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(mutex_);
  const auto node = node_of(*file);
  if (!node) return std::unexpected(node.error());
  if ((*node)->directory) return fail(kStatusFileIsADirectory);
  (*node)->content.assign(allocation_size, '\0');
  (*node)->write_time = now_filetime();
  fill(info, file->path, **node);
  return {};
}

}  // namespace winfsp_stub
