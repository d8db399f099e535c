#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace varlin::filesystem {

// Copies of members' texts kept on this computer while a write-back can leave a member empty or half
// written on the IBM i. A copy lies at the object's IFS path from the root below the folder, whatever
// the mount's remote root, each name spelled as windows_name() spells it, with the time it was made
// (UTC) in its name, so an earlier copy is never replaced.
class RecoveryCopies {
 public:
  explicit RecoveryCopies(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& folder() const { return folder_; }

  // Writes the text, exactly, to a new copy for the object at the IFS path
  // ("/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR"), on the disk itself once it returns.
  morva::Result<std::filesystem::path> keep(std::string_view object_path, std::string_view text) const;
  // Removes a copy whose text the IBM i holds now, and the folders it leaves empty; a copy that cannot
  // go is only logged.
  void discard(const std::filesystem::path& copy) const;
  // The copies in the folder, from this run and earlier ones.
  std::size_t count() const;

 private:
  std::filesystem::path folder_;
  // Held while a copy is made or removed, so that no discard takes away the folders that a keep has
  // made for its copy before the copy is in them; copies of this object share it.
  std::shared_ptr<std::mutex> folders_lock_ = std::make_shared<std::mutex>();
};

// "{local_app_data}\varlin\unsaved\{host}", the host spelled as windows_name() spells it ("_" for no
// host).
std::filesystem::path recovery_folder(std::string_view local_app_data, std::string_view host);

// A local path as UTF-8 text, for messages.
std::string utf8_of(const std::filesystem::path& path);

// "{N} unsaved texts from earlier mounts are kept in {folder}" and a line feed, or nothing for an empty or
// absent folder.
std::string earlier_copies_line(const RecoveryCopies& copies);

}  // namespace varlin::filesystem
