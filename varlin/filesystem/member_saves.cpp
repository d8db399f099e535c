#include "filesystem/ifs_file_system.hpp"
#include "filesystem/operations/names.hpp"
#include "morva/log.hpp"

namespace varlin::filesystem {

using operations::kWriteTarget;

std::expected<void, RemoteFailure> IfsFileSystem::keep_copy(const OpenFile& file, MemberText& text) {
  if (!text.dirty || file.delete_pending || text.copy_is_current) return {};
  auto copy = recovery_copies_.keep(drive_path(file.path), text.text);
  if (!copy) return std::unexpected(RemoteFailure{winfsp::kStatusUnexpectedIoError, copy.error().text()});
  // The new copy holds everything an earlier one held.
  if (text.recovery_copy) recovery_copies_.discard(*text.recovery_copy);
  text.recovery_copy = std::move(*copy);
  text.copy_is_current = true;
  return {};
}

std::expected<void, RemoteFailure> IfsFileSystem::write_back(const OpenFile& file, MemberText& text) {
  if (!text.dirty || file.delete_pending) return {};
  // Replacing a member empties it first: until the IBM i holds the text, a copy of it stays here.
  auto stored = keep_copy(file, text);
  if (stored) stored = store_content_or_reason(file.path, text.text, false, true);
  if (!stored) {
    if (!text.first_failure) text.first_failure = stored.error().reason;
    return stored;
  }
  recovery_copies_.discard(*text.recovery_copy);
  text.recovery_copy.reset();
  text.copy_is_current = false;
  text.first_failure.reset();
  text.dirty = false;
  text.modified = operations::now_seconds();
  return {};
}

void IfsFileSystem::final_write_back(const OpenFile& file, MemberText& text) {
  auto written = write_back(file, text);
  if (written) return;
  morva::log::error(kWriteTarget, "IBM i IFS final flush failed",
                    {{"path", file.path}, {"error", written.error().reason}});
  std::optional<KeptText> kept;
  if (text.recovery_copy) kept = KeptText{utf8_of(*text.recovery_copy), text.copy_is_current};
  lost_changes_(lost_changes_line(file.path, *text.first_failure, kept));
}

}  // namespace varlin::filesystem
