#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morva::server {

// What decides the name under which the mount shows a listed entry.
struct DisplayedEntry {
  struct Object {
    std::string_view object;
    std::string_view attribute;
    std::string_view object_type;  // without the leading '*'
  };

  std::string_view name;  // as the file server listed it
  std::optional<std::string_view> member;
  std::optional<std::string_view> source_type;
  std::optional<Object> object;
};

// The entry's name on the drive: a source member as "member.type", a typed object as
// "object.attribute.type", a library or file without its suffix, any other entry as listed.
std::string display_name(std::string_view directory, const DisplayedEntry& entry);

// The same for a directory entry record with `name`, `member`, `source_type` and an optional object
// description (`object`, `attribute`, `object_type`).
template <typename Entry>
requires requires(const Entry& entry) {
  entry.name;
  entry.member;
  entry.source_type;
  entry.object;
}
std::string display_name(std::string_view directory, const Entry& entry) {
  DisplayedEntry displayed{entry.name, {}, {}, {}};
  if (entry.member) displayed.member = *entry.member;
  if (entry.source_type) displayed.source_type = *entry.source_type;
  if (entry.object) {
    displayed.object =
        DisplayedEntry::Object{entry.object->object, entry.object->attribute, entry.object->object_type};
  }
  return display_name(directory, displayed);
}

}  // namespace morva::server
