#pragma once

#include <algorithm>
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

// A replacement (overwrite) through one handle, from its start until the handle is done with it
// (flush, cleanup, close). Through one name while the member is open under another, which may be the
// source of a copy onto this name (the member itself), the handle works on a text of its own, which the
// member takes whole when the handle is done. Otherwise it works on the member's text until another
// replacement becomes the member's text, and on a text of its own from then on: of two replacements that
// overlap, the one done last is the member's text, whole.
struct Replacement {
  std::optional<std::string> own_text;
  std::string base;            // the member's text when the replacement began
  std::uint64_t modified = 0;  // of its own text; seconds since 1970-01-01 UTC
  std::string name;            // the path the handle writes through
  // A copy of its own text, kept when the mount stops before the handle is done.
  std::optional<std::filesystem::path> recovery_copy;
  bool copy_is_current = false;  // the copy holds the own text as it is now
};

// The whole text of one source member (UTF-8), shared by every open handle of the member, whatever
// spelling opened it: read once when the first handle opens it, written back whole when dirty, gone
// when the last handle has closed.
struct MemberText {
  // Held only while the text is read or changed, never across an exchange with the IBM i, so that
  // copies can be made of it whatever the IBM i is doing.
  std::mutex mutex;
  // Held across each load and write-back: one exchange about the text at a time, in order. Taken
  // before `mutex`.
  std::mutex exchange;
  bool loaded = false;
  // Its last handle has closed and its last write-back is over: saved, or its changes told lost. No
  // copy or write-back is made of it again, and the next open starts from the IBM i's text.
  bool done = false;
  std::string path;  // the member's IFS path from the root, one spelling for all (object_key)
  std::string text;
  std::uint64_t modified = 0;  // seconds since 1970-01-01 UTC
  bool dirty = false;          // the text has changes not yet written back
  std::uint64_t version = 0;   // counts the changes
  // The name each open handle was opened under, one for each handle not yet closed.
  std::multiset<std::string, std::less<>> names;
  // The replacements through its handles that are not done yet.
  std::vector<std::shared_ptr<Replacement>> replacements;
  // Since the last successful write-back: why the first one failed, why the first one whose answer
  // never came failed (the IBM i may have finished that one), and the copy of the text kept on this
  // computer in case the member was left empty or half written, with the version it holds.
  std::optional<std::string> first_failure;
  std::optional<std::string> first_unanswered;
  std::optional<std::filesystem::path> recovery_copy;
  std::uint64_t copy_version = 0;

  // The handle opened under the name holds it no more.
  void drop_name(std::string_view name) {
    if (auto held = names.find(name); held != names.end()) names.erase(held);
  }

  // Whether a handle opened under another name than this holds the text.
  bool open_under_other_name(std::string_view name) const {
    return std::ranges::any_of(names, [name](const auto& held) { return held != name; });
  }

  bool copy_is_current() const { return recovery_copy && copy_version == version; }

  // A write, a new size or a finished replacement changed the text.
  void changed() {
    dirty = true;
    ++version;
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
  // A replacement through the handle that is not done yet; also in the text's replacements. Read and
  // changed with the text's lock held.
  std::shared_ptr<Replacement> replacement;

  // The replacement when the handle works on a text of its own, else nothing.
  Replacement* own_replacement() const {
    return replacement && replacement->own_text ? replacement.get() : nullptr;
  }
};

// An open file behind its own lock, shared by WinFsp's file context and the mount's registry. Lock
// order: the open file, then its member text's exchange, then the text or its stream file.
struct SharedOpenFile {
  explicit SharedOpenFile(OpenFile open_file) : file(std::move(open_file)) {}

  std::mutex mutex;
  OpenFile file;
};

using OpenFileRef = std::shared_ptr<SharedOpenFile>;

// Holds what every handle of the open file shares, its member text or its stream file, while it lives;
// meanwhile the handle's entry is that shared state, or its replacement's own text: it takes their size and
// time when locked and gives its own back when released. The open file's own lock is held already.
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
