#include "morva/ifs/entry.hpp"

#include "ifs/find_item.hpp"
#include "morva/ccsid/codec.hpp"

namespace morva::ifs {

namespace {

constexpr std::uint16_t kEntryReplyId = 0x8005;
constexpr std::uint64_t kEntryReplyMinimum = 56;
constexpr std::uint64_t kObjectReplyMinimum = 20;

constexpr std::uint16_t kCpName = 0x0002;
constexpr std::uint16_t kCpObjectAttributes = 0x000F;

// The CCSID sits at item offset 140 of an object-attributes item longer than 141 bytes.
constexpr std::uint64_t kObjectCcsidOffset = 140;

constexpr std::uint16_t kOtherKind = 8;
// Sizes are 64-bit fields from this datastream level on.
constexpr std::uint16_t kLargeSizeLevel = 8;
constexpr std::uint64_t kLargeSizeEnd = 89;

Result<std::uint64_t> first_item_offset(Packet packet) {
  auto template_length = read_u16(packet, 16);
  if (!template_length) return std::unexpected(template_length.error());
  return 20 + std::uint64_t{*template_length};
}

std::optional<std::uint16_t> object_ccsid(const Item& item, Packet packet) {
  if (item.length <= kObjectCcsidOffset + 1) return std::nullopt;
  auto ccsid = read_u16(packet, item.offset + kObjectCcsidOffset);
  return ccsid ? std::optional(*ccsid) : std::nullopt;
}

Result<std::string> decode_name(Packet data) {
  if (data.size() % 2 != 0) return fail("UTF-16 field has an odd byte length");
  // With an even length, a lone surrogate is the decoder's only failure.
  auto name = ccsid::Ccsid1200{}.decode(data);
  if (!name) return fail("invalid UTF-16 file name: invalid utf-16: lone surrogate found");
  return name;
}

}  // namespace

Result<IfsEntry> IfsEntry::parse(Packet packet, std::uint16_t datastream_level) {
  if (auto checked = check_reply(packet, kEntryReplyId, kEntryReplyMinimum); !checked)
    return std::unexpected(checked.error());
  auto start = first_item_offset(packet);
  if (!start) return std::unexpected(start.error());

  IfsEntry entry;
  std::optional<std::string> name;
  auto walked = walk_items(packet, *start, [&](const Item& item) -> Result<WalkStep> {
    if (item.code_point == kCpName) {
      auto decoded = decode_name(item.data);
      if (!decoded) return std::unexpected(decoded.error());
      name = std::move(*decoded);
    } else if (item.code_point == kCpObjectAttributes) {
      if (auto ccsid = object_ccsid(item, packet)) entry.ccsid = ccsid;
    }
    return WalkStep::next;
  });
  if (!walked) return std::unexpected(walked.error());
  if (!name) return fail("file-service list reply has no name field");
  entry.name = std::move(*name);

  auto object_type = read_u16(packet, 54);
  if (!object_type) return std::unexpected(object_type.error());
  entry.object_type = *object_type;
  entry.kind = *object_type >= 1 && *object_type <= 8 ? *object_type - 1 : kOtherKind;

  const Result<std::uint64_t> size = datastream_level >= kLargeSizeLevel && packet.size() >= kLargeSizeEnd
                                         ? read_u64(packet, 81)
                                         : Result<std::uint64_t>(read_u32(packet, 46));
  if (!size) return std::unexpected(size.error());
  entry.size = *size;

  auto modified = read_u32(packet, 30);
  if (!modified) return std::unexpected(modified.error());
  entry.modified = *modified;
  return entry;
}

Result<std::optional<std::uint16_t>> parse_object_ccsid(Packet packet) {
  if (auto checked = check_reply(packet, kEntryReplyId, kObjectReplyMinimum); !checked)
    return std::unexpected(checked.error());
  auto start = first_item_offset(packet);
  if (!start) return std::unexpected(start.error());
  auto item = find_item(packet, *start, [&](const Item& candidate) {
    return candidate.code_point == kCpObjectAttributes && object_ccsid(candidate, packet).has_value();
  });
  if (!item) return std::unexpected(item.error());
  if (!*item) return std::optional<std::uint16_t>{};
  return object_ccsid(**item, packet);
}

}  // namespace morva::ifs
