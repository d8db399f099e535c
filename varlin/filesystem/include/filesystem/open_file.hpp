#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/entry_info.hpp"

namespace varlin::filesystem {

// The whole text of one source member (UTF-8), shared by every open handle of the member, whatever
// spelling opened it: read once when the first handle opens it, written back whole when dirty, gone
// when the last handle has closed.
struct MemberText {
  std::mutex mutex;
  bool loaded = false;
  std::string text;
  std::uint64_t modified = 0;  // seconds since 1970-01-01 UTC
  bool dirty = false;          // the text has changes not yet written back
  std::size_t handles = 0;     // open handles that have not been closed
  // Since the last successful write-back: why the first one failed, and the copy of the text kept on
  // this computer in case the member was left empty or half written.
  std::optional<std::string> first_failure;
  std::optional<std::filesystem::path> recovery_copy;
  bool copy_is_current = false;  // the copy holds the text of the last failed write-back
};

// The state of one open handle.
struct OpenFile {
  std::string path;                              // the remote path; a rename changes it
  EntryInfo entry;                               // as found at open, kept current by the operations
  std::shared_ptr<MemberText> text;              // a source member's text, while open
  std::optional<std::vector<DirEntry>> listing;  // the snapshot of a directory enumeration
  bool delete_pending = false;
};

// An open file behind its own lock, shared by WinFsp's file context and the mount's registry. Lock
// order: the open file, then its member text.
struct SharedOpenFile {
  explicit SharedOpenFile(OpenFile open_file) : file(std::move(open_file)) {}

  std::mutex mutex;
  OpenFile file;
};

using OpenFileRef = std::shared_ptr<SharedOpenFile>;

// Holds the open file's member text, when it has one, and brings the entry's size and time up to date
// with it; the open file's own lock is held already.
inline std::unique_lock<std::mutex> lock_text(OpenFile& file) {
  if (!file.text) return {};
  std::unique_lock lock(file.text->mutex);
  file.entry.size = file.text->text.size();
  file.entry.modified = file.text->modified;
  return lock;
}

}  // namespace varlin::filesystem
