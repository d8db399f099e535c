#include "filesystem/operations/text_edits.hpp"

#include <algorithm>

namespace varlin::filesystem::operations {

namespace {

constexpr char kPadding = ' ';

}  // namespace

bool write_into(std::string& text, std::uint64_t end_of_file, std::uint64_t start, std::string_view bytes) {
  const std::uint64_t from = std::min(end_of_file, start);
  std::string placed(start - from, kPadding);
  placed += bytes;
  if (text.size() >= from + placed.size() && text.compare(from, placed.size(), placed) == 0) return false;
  if (text.size() < from + placed.size()) text.resize(from + placed.size(), kPadding);
  text.replace(from, placed.size(), placed);
  return true;
}

bool resize_text(std::string& text, std::uint64_t end_of_file, std::uint64_t size, bool replacing) {
  if (size >= end_of_file) return write_into(text, end_of_file, size, {});
  if (replacing) return false;
  text.resize(size);
  return true;
}

void end_replacement(OpenFile& file, MemberText& text) {
  if (!file.replacing_size) return;
  if (*file.replacing_size < text.text.size()) {
    text.text.resize(*file.replacing_size);
    text.changed();
  }
  file.replacing_size.reset();
}

}  // namespace varlin::filesystem::operations
