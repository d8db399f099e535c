#include <fmt/format.h>

#include <algorithm>

#include "filesystem/ifs_file_system.hpp"
#include "filesystem/operations/names.hpp"
#include "filesystem/operations/text_edits.hpp"
#include "morva/log.hpp"

namespace varlin::filesystem {

using operations::kWriteTarget;

namespace {

constexpr std::string_view kStopBeforeDone = "the mount stopped before their program was done";

std::optional<KeptText> kept_text(const std::optional<std::filesystem::path>& copy, bool current) {
  if (!copy) return std::nullopt;
  return KeptText{utf8_of(*copy), current};
}

// The last name of the path a replacement is written through.
std::string_view file_name_of(std::string_view path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

std::expected<void, RemoteFailure> IfsFileSystem::keep_copy(MemberText& text) {
  if (!text.dirty || text.done || text.copy_is_current()) return {};
  auto copy = recovery_copies_.keep(text.path, text.text);
  if (!copy) return std::unexpected(RemoteFailure{winfsp::kStatusUnexpectedIoError, copy.error().text()});
  // The new copy holds everything an earlier one held.
  if (text.recovery_copy) recovery_copies_.discard(*text.recovery_copy);
  text.recovery_copy = std::move(*copy);
  text.copy_version = text.version;
  return {};
}

void IfsFileSystem::keep_copy(const MemberText& text, Replacement& replacement) {
  if (replacement.copy_is_current || !operations::changes_text(replacement, text)) return;
  auto copy = recovery_copies_.keep(text.path, *replacement.own_text);
  if (!copy) {
    morva::log::warn(kWriteTarget, "could not keep a copy of a replacement not done yet",
                     {{"path", text.path}, {"name", replacement.name}, {"error", copy.error().text()}});
    return;
  }
  if (replacement.recovery_copy) recovery_copies_.discard(*replacement.recovery_copy);
  replacement.recovery_copy = std::move(*copy);
  replacement.copy_is_current = true;
}

void IfsFileSystem::keep_copies(bool replacements) {
  for (const auto& text : member_texts_.live()) {
    std::lock_guard lock(text->mutex);
    static_cast<void>(keep_copy(*text));
    if (replacements)
      for (const auto& replacement : text->replacements) keep_copy(*text, *replacement);
  }
}

void IfsFileSystem::keep_unsaved_texts() {
  keep_copies(true);
}

std::expected<void, RemoteFailure> IfsFileSystem::write_back(MemberText& text) {
  std::string path;
  std::string written;
  std::uint64_t version = 0;
  {
    std::lock_guard lock(text.mutex);
    if (!text.dirty || text.done) return {};
    // Replacing a member empties it first: until the IBM i holds the text, a copy of it stays here.
    if (auto kept = keep_copy(text); !kept) {
      if (!text.first_failure) text.first_failure = kept.error().reason;
      return kept;
    }
    path = text.path;
    written = text.text;
    version = text.version;
  }
  auto stored = store_content_or_reason(path, written, false, true);
  std::lock_guard lock(text.mutex);
  if (!stored) {
    if (!text.first_failure) text.first_failure = stored.error().reason;
    if (!stored.error().answered && !text.first_unanswered) text.first_unanswered = stored.error().reason;
    return stored;
  }
  // A copy of a text changed while this one was on its way stays until that text is written back too.
  if (text.recovery_copy && text.copy_version <= version) {
    recovery_copies_.discard(*text.recovery_copy);
    text.recovery_copy.reset();
  }
  text.first_failure.reset();
  text.first_unanswered.reset();
  text.dirty = text.version != version;
  text.modified = operations::now_seconds();
  return {};
}

void IfsFileSystem::final_write_back(MemberText& text) {
  auto written = write_back(text);
  std::lock_guard lock(text.mutex);
  text.done = true;
  if (written) return;
  morva::log::error(kWriteTarget, "IBM i IFS final flush failed",
                    {{"path", text.path}, {"error", written.error().reason}});
  const auto kept = kept_text(text.recovery_copy, text.copy_is_current());
  // A write-back that got no answer may have been made after all: the user is to look.
  lost_changes_(text.first_unanswered
                    ? lost_changes_line(text.path, *text.first_unanswered, kept, UnsavedChanges::unconfirmed)
                    : lost_changes_line(text.path, *text.first_failure, kept));
}

void IfsFileSystem::end_replacement(OpenFile& file, MemberText& text) {
  if (!file.replacement) return;
  const std::shared_ptr<Replacement> ended = std::move(file.replacement);
  std::erase(text.replacements, ended);
  if (!operations::changes_text(*ended, text)) {
    if (ended->recovery_copy) recovery_copies_.discard(*ended->recovery_copy);
    return;
  }
  // Replacements still made in the member's text go on in a text of their own: none of their later
  // writes lands in this one.
  for (const auto& other : text.replacements) {
    if (other->own_text) continue;
    other->own_text = text.text;
    other->modified = text.modified;
  }
  text.text = std::move(*ended->own_text);
  text.modified = ended->modified;
  text.changed();
  if (!ended->recovery_copy) return;
  // A copy made of it at the stop holds the member's text now.
  if (!ended->copy_is_current) return recovery_copies_.discard(*ended->recovery_copy);
  if (text.recovery_copy) recovery_copies_.discard(*text.recovery_copy);
  text.recovery_copy = std::move(ended->recovery_copy);
  text.copy_version = text.version;
}

void IfsFileSystem::report_pending_replacements(MemberText& text) {
  for (const auto& replacement : text.replacements) {
    if (!operations::changes_text(*replacement, text)) continue;
    keep_copy(text, *replacement);
    const std::string changes =
        fmt::format("{} written through {}", text.path, file_name_of(replacement->name));
    lost_changes_(lost_changes_line(changes, kStopBeforeDone,
                                    kept_text(replacement->recovery_copy, replacement->copy_is_current)));
  }
}

}  // namespace varlin::filesystem
