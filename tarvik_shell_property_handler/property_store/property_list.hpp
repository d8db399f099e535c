#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "pipe_client/metadata_response.hpp"

namespace tarvik {

// A GUID in the layout of the Windows structure.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  bool operator==(const Guid&) const = default;
};

struct PropertyKey {
  Guid format_id;
  std::uint32_t property_id = 0;

  bool operator==(const PropertyKey&) const = default;
};

inline constexpr Guid FMTID_Ibmi{
    0xC7A41E92, 0x6D3B, 0x4E85, {0x9F, 0x17, 0x2B, 0x8D, 0x05, 0xC3, 0xE6, 0xA4}};

inline constexpr PropertyKey PKEY_Ibmi_Path{FMTID_Ibmi, 2};
inline constexpr PropertyKey PKEY_Ibmi_Library{FMTID_Ibmi, 3};
inline constexpr PropertyKey PKEY_Ibmi_SourceFile{FMTID_Ibmi, 4};
inline constexpr PropertyKey PKEY_Ibmi_Member{FMTID_Ibmi, 5};
inline constexpr PropertyKey PKEY_Ibmi_SourceType{FMTID_Ibmi, 6};
inline constexpr PropertyKey PKEY_Ibmi_Ccsid{FMTID_Ibmi, 7};
inline constexpr PropertyKey PKEY_Ibmi_RecordLength{FMTID_Ibmi, 8};
inline constexpr PropertyKey PKEY_Ibmi_Description{FMTID_Ibmi, 9};
// The Shell's own title property, which shows the description.
inline constexpr PropertyKey PKEY_Title{
    {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}}, 2};

// Text (as the UTF-16 the Shell takes) or an unsigned 32-bit number.
using PropertyValue = std::variant<std::u16string, std::uint32_t>;

struct PropertyEntry {
  PropertyKey key;
  PropertyValue value;

  bool operator==(const PropertyEntry&) const = default;
};

// The properties shown for a result, in the order listed: the path always; the title, library, source
// file, member and source type when not empty; the CCSID and record length when present; the
// description when not empty.
std::vector<PropertyEntry> build_property_list(const MetadataResult& result);

// The first entry with the key, or nullptr.
const PropertyEntry* find_property(std::span<const PropertyEntry> list, const PropertyKey& key);

}  // namespace tarvik
