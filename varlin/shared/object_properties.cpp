#include "shared/object_properties.hpp"

#include <optional>

namespace varlin::metadata_pipe {

namespace {

std::optional<std::string> unless_empty(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional(text);
}

}  // namespace

FileProperties::Object object_properties(std::string path, const morva::command::ObjectDescription& object) {
  return FileProperties::Object{.path = std::move(path),
                                .library = object.library,
                                .object = object.object,
                                .object_type = object.object_type,
                                .attribute = object.attribute,
                                .owner = object.owner,
                                .asp = object.asp,
                                .created = object.created,
                                .changed = object.changed,
                                .description = object.description,
                                .source_file = unless_empty(object.source_file),
                                .source_library = unless_empty(object.source_library),
                                .source_member = unless_empty(object.source_member)};
}

}  // namespace varlin::metadata_pipe
