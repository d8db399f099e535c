#include "property_store/property_list.hpp"

#include <algorithm>

#include "common/utf16.hpp"

namespace tarvik {

namespace {

void add_text(std::vector<PropertyEntry>& list, const PropertyKey& key,
              const std::optional<std::string>& text) {
  if (text && !text->empty()) list.push_back({key, utf16_from_utf8(*text)});
}

void add_number(std::vector<PropertyEntry>& list, const PropertyKey& key,
                const std::optional<std::uint32_t>& number) {
  if (number) list.push_back({key, *number});
}

}  // namespace

std::vector<PropertyEntry> build_property_list(const MetadataResult& result) {
  const FileProperties& properties = result.properties;
  std::vector<PropertyEntry> list;
  list.push_back({PKEY_Ibmi_Path, utf16_from_utf8(properties.path.value_or(result.path))});
  add_text(list, PKEY_Title, properties.description);
  add_text(list, PKEY_Ibmi_Library, properties.library);
  add_text(list, PKEY_Ibmi_SourceFile, properties.source_file);
  add_text(list, PKEY_Ibmi_Member, properties.member);
  add_text(list, PKEY_Ibmi_SourceType, properties.source_type);
  add_number(list, PKEY_Ibmi_Ccsid, properties.ccsid);
  add_number(list, PKEY_Ibmi_RecordLength, properties.record_length);
  add_text(list, PKEY_Ibmi_Description, properties.description);
  return list;
}

const PropertyEntry* find_property(std::span<const PropertyEntry> list, const PropertyKey& key) {
  const auto found = std::ranges::find(list, key, &PropertyEntry::key);
  return found == list.end() ? nullptr : &*found;
}

}  // namespace tarvik
