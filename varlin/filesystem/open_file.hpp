#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/entry_info.hpp"

namespace varlin::filesystem {

// The state of one open handle.
struct OpenFile {
  std::string path;                              // the remote path; a rename changes it
  EntryInfo entry;                               // as found at open, kept current by the operations
  std::optional<std::string> content;            // a source member's whole text (UTF-8), while open
  std::optional<std::vector<DirEntry>> listing;  // the snapshot of a directory enumeration
  bool dirty = false;                            // the content has changes not yet written back
  bool delete_pending = false;
};

// An open file behind its own lock, shared by WinFsp's file context and the mount's registry.
struct SharedOpenFile {
  explicit SharedOpenFile(OpenFile open_file) : file(std::move(open_file)) {}

  std::mutex mutex;
  OpenFile file;
};

using OpenFileRef = std::shared_ptr<SharedOpenFile>;

}  // namespace varlin::filesystem
