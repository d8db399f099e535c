#include <algorithm>
#include <cstring>
#include <mutex>
#include <ranges>
#include <shared_mutex>

#include "filesystem/file_info.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "filesystem/operations/names.hpp"
#include "filesystem/operations/text_edits.hpp"
#include "morva/ccsid/utf16.hpp"
#include "morva/log.hpp"
#include "winfsp/dir_info.hpp"

namespace varlin::filesystem {

namespace {

using operations::without_terminator;

constexpr std::string_view kReadTarget = "varlin::filesystem::operations::read";

std::u16string utf16_of(std::string_view text) {
  std::u16string units;
  morva::ccsid::append_utf16_of_utf8(text, units);
  return units;
}

enum class Placed { added, buffer_full, name_too_long };

// Adds one directory record, unless the buffer is full or the record cannot carry the name.
Placed add_dir_entry(DirectoryBuffer& buffer, std::string_view name, std::string_view path,
                     const EntryInfo& entry) {
  winfsp::DirInfoRecord record{};
  fill_file_info(record.info.FileInfo, path, entry);
  if (!winfsp::set_dir_info_name(record.info, utf16_of(name))) return Placed::name_too_long;
  return buffer.add(record.info) ? Placed::added : Placed::buffer_full;
}

// The path of one name in a directory of the mount: "." is the directory, ".." its parent (nothing
// above the remote root), any other name a plain one.
StatusResult<std::string> path_in_directory(std::string_view remote_root, std::string_view directory,
                                            std::string_view name) {
  if (name == ".") return std::string(directory);
  if (name == "..") {
    if (directory == remote_root) return std::unexpected(winfsp::kStatusObjectNameNotFound);
    return std::string(parent_path(directory));
  }
  if (!is_plain_name(name)) return std::unexpected(winfsp::kStatusObjectNameInvalid);
  return join_path(directory, name);
}

}  // namespace

OperationResult<std::string> IfsFileSystem::remote_path(FileName name) const {
  const std::string text = morva::ccsid::utf8_replacing_lone_surrogates(without_terminator(name));
  std::string path = remote_root_;
  for (auto piece : std::views::split(text, '\\')) {
    const std::string_view component(piece.begin(), piece.end());
    if (component.empty()) continue;
    if (!is_plain_name(component)) return fail(morva::IoErrorKind::invalid_input);
    if (path != "/") path += '/';
    path += component;
  }
  return path;
}

OperationResult<std::uint32_t> IfsFileSystem::get_security_by_name(FileName name) {
  auto path = remote_path(name);
  if (!path) return std::unexpected(path.error());
  morva::log::debug(kReadTarget, "querying IFS entry security", {{"path", *path}});
  auto entry = lookup_entry(*path);
  if (!entry) return fail(entry.error());
  return file_attributes_of(*entry);
}

OperationResult<OpenFileRef> IfsFileSystem::open(FileName name, std::uint32_t create_options,
                                                 std::uint32_t granted_access,
                                                 winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) {
  auto path = remote_path(name);
  if (!path) return std::unexpected(path.error());
  morva::log::debug(kReadTarget, "opening IFS entry",
                    {{"path", *path},
                     {"create_options", operations::hex_flags(create_options)},
                     {"granted_access", operations::hex_flags(granted_access)}});
  const std::shared_lock no_rename(renames_);
  auto entry = lookup_entry(*path);
  if (!entry) return fail(entry.error());
  if ((create_options & winfsp::kFileNonDirectoryFile) && entry->is_directory)
    return fail(winfsp::kStatusFileIsADirectory);
  if ((create_options & winfsp::kFileDirectoryFile) && !entry->is_directory)
    return fail(winfsp::kStatusNotADirectory);

  // Every handle of one file shares its state: a member's text, a stream file's size and time.
  std::shared_ptr<MemberText> text;
  std::shared_ptr<StreamFile> stream;
  if (entry->member) {
    auto shared = open_member_text(*path, *entry);
    if (!shared) return fail(shared.error());
    text = std::move(*shared);
  } else if (!entry->is_directory) {
    // A member that no spelling of its text reaches (a library or file whose name holds a '.') is not
    // opened as the bytes of its records.
    if (auto refused = reject_source_member_path(*path); !refused) return fail(refused.error());
    stream = open_stream_file(*path, *entry);
  }
  fill_file_info(info.FileInfo, *path, *entry);
  winfsp::set_normalized_name(info, without_terminator(name));
  return register_open_handle(OpenFile{.path = std::move(*path),
                                       .entry = std::move(*entry),
                                       .text = std::move(text),
                                       .listing = std::nullopt,
                                       .delete_pending = false,
                                       .stream = std::move(stream),
                                       .replacement = nullptr});
}

OperationResult<void> IfsFileSystem::get_file_info(const OpenFileRef& file,
                                                   winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  const SharedStateLock shared(file->file);
  fill_file_info(info, file->file.path, file->file.entry);
  return {};
}

OperationResult<std::uint32_t> IfsFileSystem::read(const OpenFileRef& file, std::span<std::byte> buffer,
                                                   std::uint64_t offset) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  if (open_file.entry.is_directory) return fail(winfsp::kStatusFileIsADirectory);

  if (open_file.text) {
    const SharedStateLock shared(open_file);
    const std::string_view content = operations::text_of(open_file);
    const std::uint64_t start = std::min<std::uint64_t>(offset, content.size());
    const std::uint64_t end = std::min<std::uint64_t>(start + buffer.size(), content.size());
    std::memcpy(buffer.data(), content.data() + start, end - start);
    morva::log::debug(
        kReadTarget, "read IFS file",
        {{"path", open_file.path}, {"offset", offset}, {"bytes", end - start}, {"cached", true}});
    return static_cast<std::uint32_t>(end - start);
  }

  auto bytes = read_range(open_file.path, offset, static_cast<std::uint32_t>(buffer.size()));
  if (!bytes) return fail(bytes.error());
  const std::size_t count = std::min(bytes->size(), buffer.size());
  std::memcpy(buffer.data(), bytes->data(), count);
  morva::log::debug(kReadTarget, "read IFS file range",
                    {{"path", open_file.path}, {"offset", offset}, {"bytes", count}, {"cached", false}});
  return static_cast<std::uint32_t>(count);
}

OperationResult<std::uint32_t> IfsFileSystem::read_directory(const OpenFileRef& file,
                                                             std::optional<FileName> pattern,
                                                             std::optional<FileName> marker,
                                                             DirectoryBuffer& buffer) {
  // A pattern is looked up as one name, not matched as a wildcard.
  if (pattern) {
    winfsp::DirInfoRecord record{};
    if (auto found = get_dir_info_by_name(file, *pattern, record.info); !found)
      return std::unexpected(found.error());
    buffer.add(record.info);
    buffer.add_end();
    return buffer.bytes_transferred();
  }

  std::lock_guard lock(file->mutex);
  OpenFile& directory = file->file;
  if (!directory.entry.is_directory) return fail(winfsp::kStatusNotADirectory);
  const std::string after =
      marker ? morva::ccsid::utf8_replacing_lone_surrogates(without_terminator(*marker)) : std::string();

  // One enumeration walks one snapshot, however many calls it takes.
  if (after.empty() || !directory.listing) {
    auto listed = list_directory(directory.path);
    if (!listed) return fail(listed.error());
    std::ranges::stable_sort(*listed, std::less<>(), &DirEntry::name);
    morva::log::debug(kReadTarget, "started IFS directory enumeration",
                      {{"path", directory.path}, {"entries", listed->size()}});
    directory.listing = std::move(*listed);
  }

  // A buffer that is full ends the call without the end marker: WinFsp asks again after the last name.
  if (directory.path != remote_root_) {
    if (after.empty() && add_dir_entry(buffer, ".", directory.path, directory.entry) != Placed::added)
      return buffer.bytes_transferred();
    if (after.empty() || after == ".") {
      const std::string parent(parent_path(directory.path));
      auto parent_entry = lookup_entry(parent);
      if (!parent_entry) return fail(parent_entry.error());
      if (add_dir_entry(buffer, "..", parent, *parent_entry) != Placed::added)
        return buffer.bytes_transferred();
    }
  }

  const bool from_first = after.empty() || after == "." || after == "..";
  for (const DirEntry& entry : *directory.listing) {
    if (!from_first && entry.name <= after) continue;
    const Placed placed =
        add_dir_entry(buffer, entry.name, join_path(directory.path, entry.name), entry.entry);
    if (placed == Placed::buffer_full) return buffer.bytes_transferred();
    // Windows cannot show such a name; the rest of the directory is still listed.
    if (placed == Placed::name_too_long)
      morva::log::warn(kReadTarget, "skipped IFS entry whose name is too long for Windows",
                       {{"directory", directory.path}, {"name", entry.name}});
  }
  buffer.add_end();
  return buffer.bytes_transferred();
}

OperationResult<void> IfsFileSystem::get_dir_info_by_name(const OpenFileRef& file, FileName name,
                                                          winfsp::FSP_FSCTL_DIR_INFO& dir_info) {
  std::string directory;
  {
    std::lock_guard lock(file->mutex);
    if (!file->file.entry.is_directory) return fail(winfsp::kStatusNotADirectory);
    directory = file->file.path;
  }
  const FileName bare = without_terminator(name);
  const std::string text = morva::ccsid::utf8_replacing_lone_surrogates(bare);
  auto path = path_in_directory(remote_root_, directory, text);
  if (!path) return fail(path.error());
  auto entry = lookup_entry(*path);
  if (!entry) return fail(entry.error());
  fill_file_info(dir_info.FileInfo, *path, *entry);
  if (!winfsp::set_dir_info_name(dir_info, bare)) return fail(winfsp::kStatusInsufficientResources);
  morva::log::debug(kReadTarget, "resolved IFS directory entry by name",
                    {{"directory", directory}, {"name", text}});
  return {};
}

}  // namespace varlin::filesystem
