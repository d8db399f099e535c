#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filesystem/open_file.hpp"

// Changes to a member's text through one handle. The text is the member's, or the handle's own while a
// replacement through it has one (Replacement); the text's lock is held. The edits answer whether the
// text changed: bytes it holds already change nothing.
namespace varlin::filesystem::operations {

// The bytes at the start, a gap past the end filled with spaces.
bool write_into(std::string& text, std::uint64_t start, std::string_view bytes);

// The text cut to the size, or padded with spaces.
bool resize_text(std::string& text, std::uint64_t size);

// The text the handle reads and writes.
inline const std::string& text_of(const OpenFile& file) {
  const Replacement* own = file.own_replacement();
  return own ? *own->own_text : file.text->text;
}

// Runs the edit on the handle's text and records a change it made: in its own text, or as a change of
// the member's text.
template <typename Edit>
void edit_text(OpenFile& file, Edit edit) {
  if (Replacement* own = file.own_replacement()) {
    if (edit(*own->own_text)) own->copy_is_current = false;
  } else if (edit(file.text->text)) {
    file.text->changed();
  }
}

// A replacement through the handle begins, with a text of its own, empty, when the member is open under
// another name.
void start_replacement(OpenFile& file, MemberText& text);

// Whether the replacement's own text would change the member were its handle done now: it holds neither
// the text the replacement began with nor the member's text.
bool changes_text(const Replacement& replacement, const MemberText& text);

}  // namespace varlin::filesystem::operations
