#include "morva/ifs/request.hpp"

#include "ifs/packet_writer.hpp"
#include "morva/ccsid/utf16.hpp"

namespace morva::ifs {

namespace {

constexpr std::uint8_t kSeedExchangeHeaderId = 3;
constexpr std::uint8_t kStartServerHeaderId = 2;

constexpr std::uint16_t kExchangeSeedsId = 0x7001;
constexpr std::uint16_t kStartServerId = 0x7002;
constexpr std::uint16_t kExchangeAttributesId = 0x0016;
constexpr std::uint16_t kListAttributesId = 0x000A;
constexpr std::uint16_t kOpenFileId = 0x0002;
constexpr std::uint16_t kReadFileId = 0x0003;
constexpr std::uint16_t kWriteFileId = 0x0004;
constexpr std::uint16_t kCloseFileId = 0x0009;
constexpr std::uint16_t kTruncateId = 0x000B;
constexpr std::uint16_t kDeleteFileId = 0x000C;
constexpr std::uint16_t kCreateDirectoryId = 0x000D;
constexpr std::uint16_t kDeleteDirectoryId = 0x000E;
constexpr std::uint16_t kRenameId = 0x000F;

constexpr std::uint16_t kCpCcsidList = 0x000A;
constexpr std::uint16_t kCpDirectoryName = 0x0001;
constexpr std::uint16_t kCpName = 0x0002;
constexpr std::uint16_t kCpSourceName = 0x0003;
constexpr std::uint16_t kCpTargetName = 0x0004;
constexpr std::uint16_t kCpData = 0x0020;
constexpr std::uint16_t kCpUserProfile = 0x1104;
constexpr std::uint16_t kCpSubstitute = 0x1105;

constexpr std::size_t kDesSubstituteLength = 8;
constexpr std::uint8_t kDesSubstitute = 1;
constexpr std::uint8_t kShaSubstitute = 3;

// The CCSIDs the client can take, most preferred first.
constexpr std::array<std::uint16_t, 3> kClientCcsids = {1200, 13488, 61952};

bool large(std::uint16_t datastream_level) {
  return datastream_level >= kLargeFileLevel;
}

std::uint32_t low_32(std::uint64_t value) {
  return static_cast<std::uint32_t>(value);
}

std::vector<std::uint8_t> encode(const ExchangeSeeds& request) {
  return PacketWriter(kExchangeSeedsId, 8, {}, kSeedExchangeHeaderId).u64(20, request.client_seed).finish();
}

std::vector<std::uint8_t> encode(const StartServer& request) {
  const auto substitute = request.substitute.bytes();
  return PacketWriter(kStartServerId, 2, {substitute.size(), request.user_profile.size()},
                      kStartServerHeaderId)
      .u8(20, substitute.size() == kDesSubstituteLength ? kDesSubstitute : kShaSubstitute)
      .u8(21, 1)
      .item(kCpSubstitute, substitute)
      .item(kCpUserProfile, request.user_profile)
      .finish();
}

std::vector<std::uint8_t> encode(const ExchangeAttributes&) {
  std::array<std::uint8_t, 2 * kClientCcsids.size()> ccsids{};
  for (std::size_t i = 0; i < kClientCcsids.size(); ++i) {
    ccsids[2 * i] = static_cast<std::uint8_t>(kClientCcsids[i] >> 8);
    ccsids[2 * i + 1] = static_cast<std::uint8_t>(kClientCcsids[i]);
  }
  return PacketWriter(kExchangeAttributesId, 10, {ccsids.size()})
      .u16(22, kLargeFileLevel)
      .u16(24, 0x0005)
      .u32(26, 0xFFFFFFFF)
      .item(kCpCcsidList, ccsids)
      .finish();
}

std::vector<std::uint8_t> encode(const ListAttributes& request) {
  const auto pattern = ccsid::encode_utf16be(request.pattern);
  return PacketWriter(kListAttributesId, 20, {pattern.size()})
      .u16(26, request.name_ccsid)
      .u32(28, 1)
      .u16(34, 0xFFFF)
      .u16(36, 0x0101)
      .u16(38, 0x0001)
      .item(kCpName, pattern)
      .finish();
}

std::vector<std::uint8_t> encode(const ListObjectAttributes& request) {
  return PacketWriter(kListAttributesId, 20, {})
      .u32(22, request.file_handle)
      .u32(28, 1)
      .u16(34, 0xFFFF)
      .u16(36, 0x0044)
      .finish();
}

// Open for reading and open for writing share one layout.
std::vector<std::uint8_t> encode_open(std::string_view name, std::uint16_t name_ccsid, std::uint16_t level,
                                      std::uint16_t share, std::uint16_t access, std::uint16_t open_option) {
  const auto encoded = ccsid::encode_utf16be(name);
  return PacketWriter(kOpenFileId, large(level) ? 44 : 36, {encoded.size()})
      .u16(22, name_ccsid)
      .u32(24, 1)
      .u16(28, share)
      .u16(30, access)
      .u16(36, open_option)
      .u16(46, 1)
      .item(kCpName, encoded)
      .finish();
}

std::vector<std::uint8_t> encode(const OpenFile& request) {
  return encode_open(request.name, request.name_ccsid, request.datastream_level, 0, 1, 8);
}

std::vector<std::uint8_t> encode(const OpenFileForWrite& request) {
  return encode_open(request.name, request.name_ccsid, request.datastream_level, 0xFFFF, 2,
                     request.open_option);
}

std::vector<std::uint8_t> encode(const ReadFile& request) {
  const bool wide = large(request.datastream_level);
  PacketWriter writer(kReadFileId, wide ? 38 : 22, {});
  writer.u32(22, request.file_handle).u32(34, request.length);
  if (wide) {
    writer.u64(50, request.offset);
  } else {
    writer.u32(30, low_32(request.offset));
  }
  return writer.finish();
}

std::vector<std::uint8_t> encode(const CloseFile& request) {
  return PacketWriter(kCloseFileId, 21, {})
      .u32(22, request.file_handle)
      .u16(26, 2)
      .u16(28, 0xFFFF)
      .u16(30, 100)
      .finish();
}

std::vector<std::uint8_t> encode(const WriteFile& request) {
  const bool wide = large(request.datastream_level);
  PacketWriter writer(kWriteFileId, wide ? 34 : 18, {request.data.size()});
  writer.u32(22, request.file_handle).u16(34, 2).u16(36, 0xFFFF);
  if (wide) {
    writer.u64(46, request.offset);
  } else {
    writer.u32(30, low_32(request.offset));
  }
  return writer.item(kCpData, request.data).finish();
}

std::vector<std::uint8_t> encode(const Truncate& request) {
  const bool wide = large(request.datastream_level);
  const auto name = ccsid::encode_utf16be(request.name);
  PacketWriter writer(kTruncateId, wide ? 56 : 48, {name.size()});
  writer.u16(26, request.name_ccsid).u32(28, 1).u16(32, 1).u16(58, 1);
  if (wide) {
    writer.u64(68, request.size);
  } else {
    writer.u32(64, low_32(request.size));
  }
  return writer.item(kCpName, name).finish();
}

// Create directory and delete file share a layout; delete directory has two template bytes more.
std::vector<std::uint8_t> encode_name_request(std::uint16_t request_id, std::uint16_t template_length,
                                              std::uint16_t code_point, std::string_view name,
                                              std::uint16_t name_ccsid) {
  const auto encoded = ccsid::encode_utf16be(name);
  return PacketWriter(request_id, template_length, {encoded.size()})
      .u16(22, name_ccsid)
      .u32(24, 1)
      .item(code_point, encoded)
      .finish();
}

std::vector<std::uint8_t> encode(const CreateDirectory& request) {
  return encode_name_request(kCreateDirectoryId, 8, kCpDirectoryName, request.name, request.name_ccsid);
}

std::vector<std::uint8_t> encode(const DeleteFile& request) {
  return encode_name_request(kDeleteFileId, 8, kCpName, request.name, request.name_ccsid);
}

std::vector<std::uint8_t> encode(const DeleteDirectory& request) {
  return encode_name_request(kDeleteDirectoryId, 10, kCpDirectoryName, request.name, request.name_ccsid);
}

std::vector<std::uint8_t> encode(const Rename& request) {
  const auto source = ccsid::encode_utf16be(request.source);
  const auto target = ccsid::encode_utf16be(request.target);
  return PacketWriter(kRenameId, 16, {source.size(), target.size()})
      .u16(22, request.name_ccsid)
      .u16(24, request.name_ccsid)
      .u32(26, 1)
      .u32(30, 1)
      .u16(34, request.replace ? 1 : 0)
      .item(kCpSourceName, source)
      .item(kCpTargetName, target)
      .finish();
}

struct TraceName {
  std::string_view operator()(const ExchangeSeeds&) const { return "ifs.exchange-seeds"; }
  std::string_view operator()(const StartServer&) const { return "ifs.start-server"; }
  std::string_view operator()(const ExchangeAttributes&) const { return "ifs.exchange-attributes"; }
  std::string_view operator()(const ListAttributes&) const { return "ifs.list-attributes"; }
  std::string_view operator()(const ListObjectAttributes&) const { return "ifs.list-object-attributes"; }
  std::string_view operator()(const OpenFile&) const { return "ifs.open-file"; }
  std::string_view operator()(const OpenFileForWrite&) const { return "ifs.open-file-for-write"; }
  std::string_view operator()(const ReadFile&) const { return "ifs.read-file"; }
  std::string_view operator()(const CloseFile&) const { return "ifs.close-file"; }
  std::string_view operator()(const WriteFile&) const { return "ifs.write-file"; }
  std::string_view operator()(const Truncate&) const { return "ifs.truncate"; }
  std::string_view operator()(const CreateDirectory&) const { return "ifs.create-directory"; }
  std::string_view operator()(const DeleteFile&) const { return "ifs.delete-file"; }
  std::string_view operator()(const DeleteDirectory&) const { return "ifs.delete-directory"; }
  std::string_view operator()(const Rename&) const { return "ifs.rename"; }
};

}  // namespace

std::string_view IfsRequest::trace_name() const {
  return std::visit(TraceName{}, kind_);
}

std::vector<std::uint8_t> IfsRequest::encode() const {
  return std::visit([](const auto& request) { return ifs::encode(request); }, kind_);
}

}  // namespace morva::ifs
