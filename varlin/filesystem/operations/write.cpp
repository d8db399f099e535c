#include <algorithm>
#include <limits>
#include <mutex>
#include <shared_mutex>

#include "filesystem/file_info.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "filesystem/operations/names.hpp"
#include "filesystem/operations/text_edits.hpp"
#include "morva/log.hpp"
#include "winfsp/dir_info.hpp"

namespace varlin::filesystem {

namespace {

using operations::kWriteTarget;
using operations::now_seconds;
using operations::without_terminator;

constexpr std::uint32_t kCleanupDelete = 0x01;

}  // namespace

void IfsFileSystem::refresh_size(OpenFile& file) {
  if (auto found = lookup_entry(file.path)) {
    file.entry.size = found->size;
    file.entry.modified = found->modified;
  }
}

OperationResult<std::uint32_t> IfsFileSystem::write(const OpenFileRef& file, std::span<const std::byte> data,
                                                    std::uint64_t offset, bool write_to_end_of_file,
                                                    bool constrained_io, winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  if (open_file.entry.is_directory) return fail(winfsp::kStatusFileIsADirectory);
  const SharedStateLock shared(open_file);

  std::uint64_t size = open_file.entry.size;
  std::uint64_t start = write_to_end_of_file ? size : offset;
  std::uint64_t length = data.size();
  // A constrained write never extends the file.
  if (constrained_io) length = std::min(length, start >= size ? 0 : size - start);
  if (start > std::numeric_limits<std::uint64_t>::max() - length) return fail(winfsp::kStatusDiskFull);

  if (open_file.text) {
    if (start + length > max_file_size_) return fail(winfsp::kStatusDiskFull);
    // Even a write of no bytes past the end grows the text, and the new size must reach the IBM i.
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), length);
    operations::edit_text(
        open_file, [start, bytes](std::string& text) { return operations::write_into(text, start, bytes); });
    morva::log::debug(kWriteTarget, "buffered IFS write",
                      {{"path", open_file.path}, {"offset", start}, {"bytes", length}});
  } else if (length > 0) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), length);
    // Other programs may have moved the end since this handle looked: an append goes where the IBM i
    // has it now, and the handle's size follows.
    StatusResult<std::uint64_t> count;
    if (!write_to_end_of_file) {
      count = write_range(open_file.path, start, bytes);
    } else if (auto appended = append_range(open_file.path, bytes)) {
      size = start = appended->offset;
      count = appended->count;
    } else {
      count = std::unexpected(appended.error());
    }
    if (!count || *count != length) {
      refresh_size(open_file);
      return fail(count ? winfsp::kStatusUnexpectedNetworkError : count.error());
    }
    morva::log::debug(kWriteTarget, "wrote IFS file range",
                      {{"path", open_file.path}, {"offset", start}, {"bytes", length}});
  }
  open_file.entry.size = std::max(size, start + length);
  open_file.entry.modified = now_seconds();
  fill_file_info(info, open_file.path, open_file.entry);
  return static_cast<std::uint32_t>(length);
}

std::expected<void, RemoteFailure> IfsFileSystem::done_with(OpenFile& file, MemberText& text, bool closing) {
  std::lock_guard exchange(text.exchange);
  bool last = false;
  {
    std::lock_guard text_lock(text.mutex);
    end_replacement(file, text);
    if (closing) {
      text.drop_name(file.path);
      last = text.names.empty();
    }
  }
  if (!last) return write_back(text);
  final_write_back(text);
  return {};
}

OperationResult<void> IfsFileSystem::flush(const OpenFileRef& file, winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  MemberText* text = open_file.text.get();
  bool dirty = false;
  if (text) {
    std::lock_guard text_lock(text->mutex);
    dirty = text->dirty;
  }
  morva::log::debug(kWriteTarget, "flushing IFS entry", {{"path", open_file.path}, {"dirty", dirty}});
  if (text) {
    if (auto written = done_with(open_file, *text, false); !written) return fail(written.error().status);
  }
  const SharedStateLock shared(open_file);
  fill_file_info(info, open_file.path, open_file.entry);
  return {};
}

void IfsFileSystem::delete_at_cleanup(OpenFile& file) {
  if (file.entry.member) {
    morva::log::debug(kWriteTarget, "ignored unsupported source-member delete request",
                      {{"path", file.path}});
    return;
  }
  auto removed = remove_path_or_reason(file.path);
  if (!removed && is_not_found(removed.error().status)) {
    // Deleted first by someone else: what was asked for is done.
    morva::log::debug(kWriteTarget, "IBM i IFS object was deleted already",
                      {{"path", file.path}, {"error", removed.error().reason}});
    invalidate_tree(file.path);
  } else if (!removed) {
    morva::log::error(kWriteTarget, "IBM i IFS delete failed",
                      {{"path", file.path}, {"error", removed.error().reason}});
    // Windows takes the object for deleted, so the user must hear what the IBM i did, and the next look
    // must ask the IBM i.
    lost_changes_(removed.error().answered ? undeleted_line(file.path, removed.error().reason)
                                           : unconfirmed_delete_line(file.path, removed.error().reason));
    invalidate_path(file.path);
    return;
  }
  // A file made under the name from now on is another one.
  if (file.stream) stream_files_.forget(file.stream);
}

void IfsFileSystem::cleanup(const OpenFileRef& file, std::uint32_t flags) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  // WinFsp keeps the delete disposition of every handle and passes it with the last handle's cleanup.
  if (flags & kCleanupDelete) return delete_at_cleanup(open_file);
  if (!open_file.text) return;
  // A failed write-back leaves the changes for Close to try again.
  if (auto written = done_with(open_file, *open_file.text, false); !written)
    morva::log::error(kWriteTarget, "IBM i IFS flush failed",
                      {{"path", open_file.path}, {"error", written.error().reason}});
}

void IfsFileSystem::close(OpenFileRef file) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  if (StreamFile* stream = open_file.stream.get()) {
    std::lock_guard stream_lock(stream->mutex);
    --stream->handles;
    return;
  }
  if (!open_file.text) return;
  // The last handle's write-back tells the user of changes it could not save; until then another handle
  // still holds the text and writes it back in its turn.
  if (auto written = done_with(open_file, *open_file.text, true); !written)
    morva::log::error(kWriteTarget, "IBM i IFS flush failed",
                      {{"path", open_file.path}, {"error", written.error().reason}});
}

OperationResult<OpenFileRef> IfsFileSystem::create(FileName name, std::uint32_t create_options,
                                                   std::uint32_t granted_access,
                                                   std::uint64_t allocation_size,
                                                   winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) {
  auto path = remote_path(name);
  if (!path) return std::unexpected(path.error());
  if (auto refused = reject_source_member_path(*path); !refused) return fail(refused.error());
  const bool is_directory = (create_options & winfsp::kFileDirectoryFile) != 0;
  morva::log::debug(kWriteTarget, "creating IFS entry",
                    {{"path", *path},
                     {"create_options", operations::hex_flags(create_options)},
                     {"granted_access", operations::hex_flags(granted_access)},
                     {"is_directory", is_directory},
                     {"allocation_size", allocation_size}});
  const std::shared_lock no_rename(renames_);
  if (is_directory) {
    if (auto created = create_directory(*path); !created) return fail(created.error());
  } else if (auto created = store_content(*path, {}, true, false); !created) {
    return fail(created.error());
  }
  // The allocation size is a hint for preallocation only: a new file is empty.
  EntryInfo entry{.member = std::nullopt, .size = 0, .modified = now_seconds(), .is_directory = is_directory};
  auto stream = is_directory ? nullptr : open_stream_file(*path, entry);
  fill_file_info(info.FileInfo, *path, entry);
  winfsp::set_normalized_name(info, without_terminator(name));
  return register_open_handle(OpenFile{.path = std::move(*path),
                                       .entry = std::move(entry),
                                       .text = nullptr,
                                       .listing = std::nullopt,
                                       .delete_pending = false,
                                       .stream = std::move(stream),
                                       .replacement = nullptr});
}

OperationResult<void> IfsFileSystem::resize(OpenFile& file, std::uint64_t size,
                                            winfsp::FSP_FSCTL_FILE_INFO& info) {
  if (file.entry.is_directory) return fail(winfsp::kStatusFileIsADirectory);
  if (file.text) {
    if (size > max_file_size_) return fail(winfsp::kStatusDiskFull);
    operations::edit_text(file, [size](std::string& text) { return operations::resize_text(text, size); });
  } else if (auto sized = set_remote_size(file.path, size); !sized) {
    return fail(sized.error());
  }
  file.entry.size = size;
  file.entry.modified = now_seconds();
  fill_file_info(info, file.path, file.entry);
  return {};
}

OperationResult<void> IfsFileSystem::overwrite(const OpenFileRef& file, std::uint64_t /*allocation_size*/,
                                               winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  const SharedStateLock shared(open_file);
  if (open_file.text && !open_file.replacement) operations::start_replacement(open_file, *open_file.text);
  // Whatever the allocation hint, the replaced file starts empty.
  return resize(open_file, 0, info);
}

OperationResult<void> IfsFileSystem::set_file_size(const OpenFileRef& file, std::uint64_t new_size,
                                                   bool set_allocation_size,
                                                   winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  const SharedStateLock shared(open_file);
  // An allocation change can only shrink the file; one that does not changes nothing.
  if (set_allocation_size && new_size >= open_file.entry.size) {
    fill_file_info(info, open_file.path, open_file.entry);
    return {};
  }
  return resize(open_file, new_size, info);
}

OperationResult<void> IfsFileSystem::set_basic_info(const OpenFileRef& file, std::uint64_t last_write_time,
                                                    winfsp::FSP_FSCTL_FILE_INFO& info) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  const SharedStateLock shared(open_file);
  // Kept while the file is open only; the IBM i is not asked to change it.
  if (last_write_time != 0) open_file.entry.modified = unix_seconds_of(last_write_time);
  fill_file_info(info, open_file.path, open_file.entry);
  return {};
}

OperationResult<void> IfsFileSystem::set_delete(const OpenFileRef& file, bool delete_file) {
  std::lock_guard lock(file->mutex);
  OpenFile& open_file = file->file;
  if (delete_file && open_file.entry.member) return fail(winfsp::kStatusAccessDenied);
  // The IBM i refuses to delete a directory with entries; Windows must hear it now, not at cleanup.
  if (delete_file && open_file.entry.is_directory) {
    auto empty = directory_is_empty(open_file.path);
    if (!empty) return fail(empty.error());
    if (!*empty) return fail(winfsp::kStatusDirectoryNotEmpty);
  }
  open_file.delete_pending = delete_file;
  return {};
}

OperationResult<void> IfsFileSystem::rename(const OpenFileRef& file, FileName new_name,
                                            bool replace_if_exists) {
  auto destination = remote_path(new_name);
  if (!destination) return std::unexpected(destination.error());
  std::string source;
  {
    std::lock_guard lock(file->mutex);
    source = file->file.path;
    for (const std::string_view path : {std::string_view(source), std::string_view(*destination)})
      if (auto refused = reject_source_member_path(path); !refused) return fail(refused.error());
  }
  // Without the open file's lock: moving the open files takes each of their locks, this one's too.
  morva::log::debug(
      kWriteTarget, "renaming IFS entry",
      {{"source", source}, {"destination", *destination}, {"replace_if_exists", replace_if_exists}});
  const std::unique_lock renaming(renames_);
  if (auto renamed = rename_path(source, *destination, replace_if_exists); !renamed)
    return fail(renamed.error());
  retarget_open_handles(source, *destination);
  return {};
}

}  // namespace varlin::filesystem
