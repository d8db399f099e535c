#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varlin::filesystem {

// Where the mount tells the user, with or without diagnostic logging, of a change that Windows took for
// made and the IBM i does not hold: one line of text, ended by a line feed. Tests hand in their own.
using LostChangesSink = std::function<void(std::string_view line)>;

// A copy on this computer of the text of lost changes: one holding the text as it was last, or only
// an earlier one.
struct KeptText {
  std::string copy;
  bool current = true;
};

// What the IBM i holds of changes that could not be written back: nothing of them (every write-back
// was refused or never sent), or nobody knows (the answer to one never came, and the IBM i may have
// finished it).
enum class UnsavedChanges { lost, unconfirmed };

// "Changes to {path} are lost: {reason}", or "Changes to {path} may not have been saved: {reason}",
// then where their text is kept, or that it could not be kept, then for unconfirmed changes "; look on
// the IBM i", and a line feed.
std::string lost_changes_line(std::string_view path, std::string_view reason,
                              const std::optional<KeptText>& kept,
                              UnsavedChanges changes = UnsavedChanges::lost);

// "{path} was not deleted: {reason}; it is still on the IBM i" and a line feed.
std::string undeleted_line(std::string_view path, std::string_view reason);

// "{path} may not have been deleted: {reason}; look on the IBM i" and a line feed, for a delete whose
// answer never came.
std::string unconfirmed_delete_line(std::string_view path, std::string_view reason);

// Writes the line to standard error at once.
void write_to_standard_error(std::string_view line);

}  // namespace varlin::filesystem
