#include "morva/server/display_name.hpp"

#include <fmt/format.h>

#include "morva/server/path_text.hpp"

namespace morva::server {
namespace {

std::optional<std::string_view> member_stem(const DisplayedEntry& entry) {
  if (!entry.source_type) return std::nullopt;
  if (entry.member) return *entry.member;
  // Exact case: the file server lists a member's name with ".MBR" in capitals.
  if (entry.name.ends_with(kMemberSuffix))
    return entry.name.substr(0, entry.name.size() - kMemberSuffix.size());
  return std::nullopt;
}

std::string without_suffix(std::string_view name, std::string_view suffix) {
  return std::string(name.substr(0, name.size() - suffix.size()));
}

}  // namespace

std::string display_name(std::string_view directory, const DisplayedEntry& entry) {
  if (const auto stem = member_stem(entry)) {
    if (entry.source_type->empty()) return std::string(*stem);
    return fmt::format("{}.{}", *stem, ascii_lower(*entry.source_type));
  }
  if (entry.object) {
    const DisplayedEntry::Object& object = *entry.object;
    if (object.attribute.empty()) return fmt::format("{}.{}", object.object, ascii_lower(object.object_type));
    return fmt::format("{}.{}.{}", object.object, ascii_lower(object.attribute),
                       ascii_lower(object.object_type));
  }
  if (is_in_qsys(directory)) {
    if (ends_with_ignore_ascii_case(entry.name, kLibrarySuffix))
      return without_suffix(entry.name, kLibrarySuffix);
    if (ends_with_ignore_ascii_case(entry.name, kFileSuffix)) return without_suffix(entry.name, kFileSuffix);
  }
  return std::string(entry.name);
}

}  // namespace morva::server
