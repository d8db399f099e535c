#include "filesystem/operations/text_edits.hpp"

#include <algorithm>
#include <memory>

#include "filesystem/operations/names.hpp"

namespace varlin::filesystem::operations {

namespace {

constexpr char kPadding = ' ';

}  // namespace

bool write_into(std::string& text, std::uint64_t start, std::string_view bytes) {
  const std::uint64_t from = std::min<std::uint64_t>(text.size(), start);
  std::string placed(start - from, kPadding);
  placed += bytes;
  if (text.size() >= from + placed.size() && text.compare(from, placed.size(), placed) == 0) return false;
  if (text.size() < from + placed.size()) text.resize(from + placed.size(), kPadding);
  text.replace(from, placed.size(), placed);
  return true;
}

bool resize_text(std::string& text, std::uint64_t size) {
  if (size >= text.size()) return write_into(text, size, {});
  text.resize(size);
  return true;
}

void start_replacement(OpenFile& file, MemberText& text) {
  file.replacement = std::make_shared<Replacement>(Replacement{.own_text = std::nullopt,
                                                               .base = text.text,
                                                               .modified = 0,
                                                               .name = file.path,
                                                               .recovery_copy = std::nullopt});
  if (text.open_under_other_name(file.path)) {
    file.replacement->own_text.emplace();
    file.replacement->modified = now_seconds();
    file.entry.size = 0;
    file.entry.modified = file.replacement->modified;
  }
  text.replacements.push_back(file.replacement);
}

bool changes_text(const Replacement& replacement, const MemberText& text) {
  return replacement.own_text && *replacement.own_text != replacement.base &&
         *replacement.own_text != text.text;
}

}  // namespace varlin::filesystem::operations
