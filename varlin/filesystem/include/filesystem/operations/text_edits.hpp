#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filesystem/open_file.hpp"

// Changes to a member's text through one handle, whose end of file is the handle's size: the text's
// own size, or less while a replacement through the handle is pending. Each answers whether the text
// changed; bytes the text holds already change nothing.
namespace varlin::filesystem::operations {

// The bytes at the start, the gap between the handle's end and the start filled with spaces.
bool write_into(std::string& text, std::uint64_t end_of_file, std::uint64_t start, std::string_view bytes);

// The text cut to the size, or padded with spaces from the handle's end. While a replacement is pending,
// the cut waits for its end.
bool resize_text(std::string& text, std::uint64_t end_of_file, std::uint64_t size, bool replacing);

// A replacement through the handle that was left pending is done: the text loses what lies past the
// handle's size, and every handle sees the replaced text. The open file's and its text's locks are held.
void end_replacement(OpenFile& file, MemberText& text);

}  // namespace varlin::filesystem::operations
