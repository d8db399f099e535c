#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varlin::filesystem {

// Where the mount tells the user, with or without diagnostic logging, that a file's unsaved changes
// could not be written back and are gone: one line of text, ended by a line feed. Tests hand in their own.
using LostChangesSink = std::function<void(std::string_view line)>;

// "Changes to {path} are lost: {reason}", then where their text is kept, or that it could not be
// kept, and a line feed.
std::string lost_changes_line(std::string_view path, std::string_view reason,
                              const std::optional<std::string>& copy);

// Writes the line to standard error at once.
void write_to_standard_error(std::string_view line);

}  // namespace varlin::filesystem
