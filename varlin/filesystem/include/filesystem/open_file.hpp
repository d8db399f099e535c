#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
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
  // The name each open handle was opened under, one for each handle not yet closed.
  std::multiset<std::string, std::less<>> names;
  // Since the last successful write-back: why the first one failed, and the copy of the text kept on
  // this computer in case the member was left empty or half written.
  std::optional<std::string> first_failure;
  std::optional<std::filesystem::path> recovery_copy;
  bool copy_is_current = false;  // the copy holds the text as it is now

  // The handle opened under the name holds it no more.
  void drop_name(std::string_view name) {
    if (auto held = names.find(name); held != names.end()) names.erase(held);
  }

  // A write or a new size changed the text.
  void changed() {
    dirty = true;
    copy_is_current = false;
  }
};

// The size and time of one stream file, shared by every open handle of the file, whatever spelling
// opened it, and kept current by the writes, appends and new sizes made through any of them.
struct StreamFile {
  std::mutex mutex;
  std::uint64_t size = 0;
  std::uint64_t modified = 0;  // seconds since 1970-01-01 UTC
  std::size_t handles = 0;     // open handles that have not been closed; none: taken from the next one
};

// The state of one open handle.
struct OpenFile {
  std::string path;                              // the remote path; a rename changes it
  EntryInfo entry;                               // as found at open, kept current by the operations
  std::shared_ptr<MemberText> text;              // a source member's text, while open
  std::optional<std::vector<DirEntry>> listing;  // the snapshot of a directory enumeration
  bool delete_pending = false;
  std::shared_ptr<StreamFile> stream;  // a stream file's size and time, while open
  // The member was replaced through this handle while it was open under another name, which may be
  // the source of a copy onto this one: the text keeps what lies past this handle's size until the
  // handle is done with it (flush, cleanup, close). Absent when nothing is pending.
  std::optional<std::uint64_t> replacing_size;
};

// An open file behind its own lock, shared by WinFsp's file context and the mount's registry. Lock
// order: the open file, then its member text or stream file.
struct SharedOpenFile {
  explicit SharedOpenFile(OpenFile open_file) : file(std::move(open_file)) {}

  std::mutex mutex;
  OpenFile file;
};

using OpenFileRef = std::shared_ptr<SharedOpenFile>;

// Holds what every handle of the open file shares, its member text or its stream file, while it lives;
// meanwhile the handle's entry is that shared state: it takes the shared size and time when locked and
// gives its own back when released. The open file's own lock is held already.
class SharedStateLock {
 public:
  explicit SharedStateLock(OpenFile& file);
  ~SharedStateLock();
  SharedStateLock(const SharedStateLock&) = delete;
  SharedStateLock& operator=(const SharedStateLock&) = delete;

 private:
  OpenFile& file_;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace varlin::filesystem
