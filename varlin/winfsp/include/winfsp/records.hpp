#pragma once

// The records that cross the boundary to winfsp-x64.dll, laid out as the x64 build of WinFsp lays
// them out (natural alignment, no packing). WCHAR is char16_t here so the same layout builds and is
// tested on Linux; the asserts pin every size and the offsets the mount relies on.

#include <cstddef>
#include <cstdint>

namespace varlin::winfsp {

// Create options, file attributes and other Windows values carried in the records and calls.
constexpr std::uint32_t kFileDirectoryFile = 0x00000001;
constexpr std::uint32_t kFileNonDirectoryFile = 0x00000040;
constexpr std::uint32_t kFileAttributeDirectory = 0x00000010;
constexpr std::uint32_t kFileAttributeNormal = 0x00000080;

// The one-bit fields of FSP_FSCTL_VOLUME_PARAMS, which share one 32-bit word (`Flags`) starting at
// the least significant bit. Only the bits the mount sets are named.
enum VolumeFlag : std::uint32_t {
  kCaseSensitiveSearch = 1u << 0,
  kCasePreservedNames = 1u << 1,
  kUnicodeOnDisk = 1u << 2,
  kAlwaysUseDoubleBuffering = 1u << 12,
  kPassQueryDirectoryFileName = 1u << 13,
  kFlushAndPurgeOnCleanup = 1u << 14,
  kUmFileContextIsUserContext2 = 1u << 16,
};

constexpr std::size_t kVolumePrefixUnits = 192;
constexpr std::size_t kFileSystemNameUnits = 16;
constexpr std::size_t kVolumeLabelUnits = 32;

struct FSP_FSCTL_VOLUME_PARAMS {
  std::uint16_t Version;  // 0: the fields up to FileSystemName only
  std::uint16_t SectorSize;
  std::uint16_t SectorsPerAllocationUnit;
  std::uint16_t MaxComponentLength;
  std::uint64_t VolumeCreationTime;
  std::uint32_t VolumeSerialNumber;
  std::uint32_t TransactTimeout;
  std::uint32_t IrpTimeout;
  std::uint32_t IrpCapacity;
  std::uint32_t FileInfoTimeout;
  std::uint32_t Flags;  // VolumeFlag bits
  char16_t Prefix[kVolumePrefixUnits];
  char16_t FileSystemName[kFileSystemNameUnits];
  // Read by WinFsp only when Version is the record's size.
  std::uint32_t TimeoutValidFlags;
  std::uint32_t VolumeInfoTimeout;
  std::uint32_t DirInfoTimeout;
  std::uint32_t SecurityTimeout;
  std::uint32_t StreamInfoTimeout;
  std::uint32_t EaTimeout;
  std::uint32_t FsextControlCode;
  std::uint32_t Reserved32[1];
  std::uint64_t Reserved64[2];
};
static_assert(sizeof(FSP_FSCTL_VOLUME_PARAMS) == 504);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, VolumeCreationTime) == 8);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, VolumeSerialNumber) == 16);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, FileInfoTimeout) == 32);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, Flags) == 36);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, Prefix) == 40);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, FileSystemName) == 424);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, TimeoutValidFlags) == 456);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, DirInfoTimeout) == 464);
static_assert(offsetof(FSP_FSCTL_VOLUME_PARAMS, Reserved64) == 488);

struct FSP_FSCTL_VOLUME_INFO {
  std::uint64_t TotalSize;
  std::uint64_t FreeSize;
  std::uint16_t VolumeLabelLength;  // bytes
  char16_t VolumeLabel[kVolumeLabelUnits];
};
static_assert(sizeof(FSP_FSCTL_VOLUME_INFO) == 88);
static_assert(offsetof(FSP_FSCTL_VOLUME_INFO, VolumeLabelLength) == 16);
static_assert(offsetof(FSP_FSCTL_VOLUME_INFO, VolumeLabel) == 18);

struct FSP_FSCTL_FILE_INFO {
  std::uint32_t FileAttributes;
  std::uint32_t ReparseTag;
  std::uint64_t AllocationSize;
  std::uint64_t FileSize;
  std::uint64_t CreationTime;  // FILETIME: 100 ns since 1601
  std::uint64_t LastAccessTime;
  std::uint64_t LastWriteTime;
  std::uint64_t ChangeTime;
  std::uint64_t IndexNumber;
  std::uint32_t HardLinks;
  std::uint32_t EaSize;
};
static_assert(sizeof(FSP_FSCTL_FILE_INFO) == 72);
static_assert(offsetof(FSP_FSCTL_FILE_INFO, AllocationSize) == 8);
static_assert(offsetof(FSP_FSCTL_FILE_INFO, IndexNumber) == 56);
static_assert(offsetof(FSP_FSCTL_FILE_INFO, EaSize) == 68);

// What Open and CreateEx really receive behind their FSP_FSCTL_FILE_INFO pointer.
struct FSP_FSCTL_OPEN_FILE_INFO {
  FSP_FSCTL_FILE_INFO FileInfo;
  char16_t* NormalizedName;          // WinFsp's buffer
  std::uint16_t NormalizedNameSize;  // in: the buffer's size, out: the name's size (bytes)
};
static_assert(sizeof(FSP_FSCTL_OPEN_FILE_INFO) == 88);
static_assert(offsetof(FSP_FSCTL_OPEN_FILE_INFO, NormalizedName) == 72);
static_assert(offsetof(FSP_FSCTL_OPEN_FILE_INFO, NormalizedNameSize) == 80);

// One directory entry; the name (UTF-16, no terminating zero) follows the fixed part, and Size counts
// both.
struct FSP_FSCTL_DIR_INFO {
  std::uint16_t Size;
  FSP_FSCTL_FILE_INFO FileInfo;
  union {
    std::uint64_t NextOffset;
    std::uint8_t Padding[24];
  };
};
static_assert(sizeof(FSP_FSCTL_DIR_INFO) == 104);
static_assert(offsetof(FSP_FSCTL_DIR_INFO, FileInfo) == 8);

}  // namespace varlin::winfsp
