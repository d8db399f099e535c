// The WinFsp operations called on a mount's context as WinFsp calls them, against the fake IBM i.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_host_mount.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "stub_winfsp.hpp"

namespace varlin::filesystem {

inline constexpr std::uint32_t kNoOptions = 0;
inline constexpr std::uint32_t kCleanupDelete = 1;
// The member that add_operation_entries makes, as WinFsp names it.
inline constexpr std::u16string_view kHello = u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR";
// The file server's return code for a refusal.
inline constexpr std::uint32_t kAccessDenied = 5;

// What the operation tests add to the fake's tree: /home/dev with files and a directory, and the
// member OPSLIB/QCLSRC/HELLO (record length 92, CCSID 277).
void add_operation_entries(fake_ibmi::IfsTree& tree);

// A name as WinFsp passes it, with its terminating zero.
std::u16string name(std::u16string_view text);

// The names in a ReadDirectory buffer, and whether the end marker closed it.
struct Listing {
  std::vector<std::u16string> names;
  bool ended = false;
};

Listing listing_in(const std::vector<std::byte>& buffer, std::uint32_t bytes);

// A mount of the fake's root that buffers members of at most 1,000 bytes and keeps the lines it
// writes about lost changes.
class OperationsTest : public FakeHostMount {
 protected:
  void SetUp() override;
  // A new mount in place of the fixture's, whose exchanges with the IBM i give up after the limit.
  void remount(std::chrono::milliseconds limit);

  OperationResult<OpenFileRef> open(std::u16string_view path, std::uint32_t options = kNoOptions);
  OpenFileRef opened(std::u16string_view path);
  std::string read_all(const OpenFileRef& file, std::uint64_t offset = 0, std::uint32_t length = 4096);
  std::uint32_t write(const OpenFileRef& file, std::string_view text, std::uint64_t offset);
  Listing list(const OpenFileRef& directory, std::optional<std::u16string> marker = std::nullopt,
               std::uint32_t length = 8192);
  // Explorer renaming a folder: open, rename, cleanup, close.
  void rename_folder(std::u16string_view from, std::u16string_view to);

  // Declared before the mount, which may still report while it is released; the lock is for reports
  // from several threads at once.
  std::mutex lost_changes_lock_;
  std::vector<std::string> lost_changes_;
  std::unique_ptr<IfsFileSystem> fs_;
  winfsp_stub::StubWinFsp winfsp_;
};

}  // namespace varlin::filesystem
