#include "command_runner.hpp"

#include <fmt/format.h>

#include <array>
#include <cstring>
#include <vector>

#include "morva/ccsid/utf16.hpp"
#include "winfsp/dir_info.hpp"

namespace winfsp_stub {

namespace {

using namespace varlin::winfsp;

constexpr std::uint32_t kReadAccess = 0x00120089;    // FILE_GENERIC_READ
constexpr std::uint32_t kWriteAccess = 0x00120116;   // FILE_GENERIC_WRITE
constexpr std::uint32_t kDeleteAccess = 0x00010000;  // DELETE
constexpr std::uint32_t kTransferSize = 64 * 1024;
constexpr std::size_t kDirectoryBufferBytes = 1024;  // small, so longer listings need a marker
constexpr std::uint32_t kCleanupAfterWrite =
    kFspCleanupSetArchiveBit | kFspCleanupSetLastWriteTime | kFspCleanupSetChangeTime;

// A step that failed: the reply names it with its status.
struct StepFailed {
  NtStatus status;
  std::string step;
};

std::u16string utf16(std::string_view text) {
  std::u16string units;
  morva::ccsid::append_utf16_of_utf8(text, units);
  return units;
}

std::string utf8(std::u16string_view units) {
  std::string text;
  morva::ccsid::append_utf8_of_utf16(units, text);
  return text;
}

std::string entry_line(const FSP_FSCTL_FILE_INFO& info, std::u16string_view name) {
  const bool directory = (info.FileAttributes & kFileAttributeDirectory) != 0;
  return fmt::format("{:>14}  {}\n", directory ? std::string("<DIR>") : std::to_string(info.FileSize),
                     utf8(name));
}

class Session {
 public:
  Session(const MountView& mount, const DebugLog& log) : mount_(mount), log_(log) {}

  FSP_FILE_SYSTEM* file_system() const { return mount_.file_system; }
  const FSP_FILE_SYSTEM_INTERFACE& table() const { return *mount_.table; }
  void hold_open(void* file_context) const { mount_.hold_open(file_context); }

  // Logs a slot's result; a failure ends the request.
  void check(std::string_view step, std::u16string_view name, NtStatus status) const {
    if (mount_.debug_log_mask != 0 && log_)
      log_(fmt::format("winfsp-stub: {} {} -> 0x{:08X}", step, utf8(name),
                       static_cast<std::uint32_t>(status)));
    if (status < 0) throw StepFailed{status, std::string(step)};
  }

 private:
  const MountView& mount_;
  const DebugLog& log_;
};

// A file opened (or created) through the table, cleaned up and closed when it goes, as WinFsp does
// when the last handle closes.
class OpenedFile {
 public:
  struct Create {
    std::uint64_t allocation_size = 0;
  };

  OpenedFile(Session& session, std::string_view path, std::uint32_t options, std::uint32_t access)
      : session_(session), name_(utf16(path)) {
    prepare();
    session_.check("Open", name_,
                   session_.table().Open(session_.file_system(), name_.data(), options, access, &context_,
                                         &info_.FileInfo));
  }

  OpenedFile(Session& session, std::string_view path, std::uint32_t options, std::uint32_t access,
             Create create)
      : session_(session), name_(utf16(path)) {
    prepare();
    session_.check("CreateEx", name_,
                   session_.table().CreateEx(session_.file_system(), name_.data(), options, access,
                                             kFileAttributeNormal, nullptr, create.allocation_size, nullptr,
                                             0, 0, &context_, &info_.FileInfo));
  }

  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  ~OpenedFile() {
    if (left_open_) return;
    if (session_.table().Cleanup != nullptr)
      session_.table().Cleanup(session_.file_system(), context_, name_.data(), cleanup_flags_);
    if (session_.table().Close != nullptr) session_.table().Close(session_.file_system(), context_);
  }

  void* context() const { return context_; }
  char16_t* name() { return name_.data(); }
  std::u16string_view name_view() const { return name_; }
  FSP_FSCTL_FILE_INFO& info() { return info_.FileInfo; }
  std::u16string_view normalized_name() const {
    return {normalized_.data(), info_.NormalizedNameSize / sizeof(char16_t)};
  }
  void add_cleanup_flags(std::uint32_t flags) { cleanup_flags_ |= flags; }
  // No Cleanup or Close follows; the context is the caller's to keep.
  void* leave_open() {
    left_open_ = true;
    return context_;
  }

 private:
  void prepare() {
    info_.NormalizedName = normalized_.data();
    info_.NormalizedNameSize = sizeof(normalized_);
  }

  Session& session_;
  std::u16string name_;
  void* context_ = nullptr;
  FSP_FSCTL_OPEN_FILE_INFO info_{};
  std::array<char16_t, 1024> normalized_{};
  std::uint32_t cleanup_flags_ = 0;
  bool left_open_ = false;
};

std::string volume(Session& session) {
  FSP_FSCTL_VOLUME_INFO info{};
  session.check("GetVolumeInfo", u"", session.table().GetVolumeInfo(session.file_system(), &info));
  return fmt::format("total={} free={} label={}\n", info.TotalSize, info.FreeSize,
                     utf8({info.VolumeLabel, info.VolumeLabelLength / sizeof(char16_t)}));
}

std::string params(const MountView& mount) {
  const FSP_FSCTL_VOLUME_PARAMS& params = *mount.params;
  const std::u16string_view name(params.FileSystemName,
                                 std::char_traits<char16_t>::length(params.FileSystemName));
  return fmt::format(
      "version={}\nserial=0x{:08X}\nfile-info-timeout={}\ndir-info-timeout={}\ntimeout-valid-flags=0x{:08X}\n"
      "flags=0x{:08X}\nfile-system-name={}\nprefix-empty={}\nguard-strategy={}\ndebug-log=0x{:08X}\n"
      "mount-point={}\n",
      params.Version, params.VolumeSerialNumber, params.FileInfoTimeout, params.DirInfoTimeout,
      params.TimeoutValidFlags, params.Flags, utf8(name), params.Prefix[0] == 0,
      mount.guard_strategy == FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_FINE ? "fine" : "coarse",
      mount.debug_log_mask, utf8(mount.mount_point));
}

std::string stat(Session& session, std::string_view path) {
  std::u16string name = utf16(path);
  std::uint32_t attributes = 0;
  std::uint64_t descriptor_size = 4096;
  session.check("GetSecurityByName", name,
                session.table().GetSecurityByName(session.file_system(), name.data(), &attributes, nullptr,
                                                  &descriptor_size));
  OpenedFile file(session, path, 0, kReadAccess);
  FSP_FSCTL_FILE_INFO info{};
  session.check("GetFileInfo", file.name_view(),
                session.table().GetFileInfo(session.file_system(), file.context(), &info));
  return fmt::format(
      "attributes=0x{:08X} security-size={}\nname={}\nattributes=0x{:08X} size={} allocation={}\n"
      "creation={} access={} write={} change={} index=0x{:016X}\n",
      attributes, descriptor_size, utf8(file.normalized_name()), info.FileAttributes, info.FileSize,
      info.AllocationSize, info.CreationTime, info.LastAccessTime, info.LastWriteTime, info.ChangeTime,
      info.IndexNumber);
}

std::string dir(Session& session, std::string_view path) {
  OpenedFile directory(session, path, kFileDirectoryFile, kReadAccess);
  std::vector<std::uint64_t> buffer(kDirectoryBufferBytes / sizeof(std::uint64_t));  // 8-byte aligned
  std::u16string marker;
  std::string lines;
  for (;;) {
    std::uint32_t bytes = 0;
    session.check("ReadDirectory", directory.name_view(),
                  session.table().ReadDirectory(session.file_system(), directory.context(), nullptr,
                                                marker.empty() ? nullptr : marker.data(), buffer.data(),
                                                kDirectoryBufferBytes, &bytes));
    const auto* data = reinterpret_cast<const std::byte*>(buffer.data());
    bool added = false;
    for (std::uint32_t offset = 0; offset + sizeof(std::uint16_t) <= bytes;) {
      std::uint16_t size = 0;
      std::memcpy(&size, data + offset, sizeof(size));
      if (size == 0) return lines;  // the end marker
      if (size < sizeof(FSP_FSCTL_DIR_INFO) || offset + size > bytes)
        throw StepFailed{kStatusInvalidParameter, "ReadDirectory record"};
      const auto& record = *reinterpret_cast<const FSP_FSCTL_DIR_INFO*>(data + offset);
      lines += entry_line(record.FileInfo, dir_info_name(record));
      marker = dir_info_name(record);
      added = true;
      offset += (size + 7u) & ~7u;
    }
    if (!added) throw StepFailed{kStatusInsufficientResources, "ReadDirectory without records"};
  }
}

std::string find(Session& session, std::string_view directory_path, std::string_view entry) {
  OpenedFile directory(session, directory_path, kFileDirectoryFile, kReadAccess);
  std::u16string name = utf16(entry);
  DirInfoRecord record{};
  session.check("GetDirInfoByName", name,
                session.table().GetDirInfoByName(session.file_system(), directory.context(), name.data(),
                                                 &record.info));
  return entry_line(record.info.FileInfo, dir_info_name(record.info));
}

std::string read(Session& session, std::string_view path) {
  OpenedFile file(session, path, kFileNonDirectoryFile, kReadAccess);
  std::string content;
  std::vector<char> chunk(kTransferSize);
  for (std::uint64_t offset = 0;;) {
    std::uint32_t bytes = 0;
    session.check("Read", file.name_view(),
                  session.table().Read(session.file_system(), file.context(), chunk.data(), offset,
                                       kTransferSize, &bytes));
    if (bytes == 0) return content;
    content.append(chunk.data(), bytes);
    offset += bytes;
  }
}

void overwrite(Session& session, OpenedFile& file) {
  FSP_FSCTL_FILE_INFO info{};
  session.check("OverwriteEx", file.name_view(),
                session.table().OverwriteEx(session.file_system(), file.context(), kFileAttributeNormal, 0, 0,
                                            nullptr, 0, &info));
}

// Writes the payload from offset 0 in pieces of the transfer size; the bytes written.
std::uint64_t write_payload(Session& session, OpenedFile& file, const std::string& payload) {
  std::uint64_t written = 0;
  while (written < payload.size()) {
    const auto length =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(kTransferSize, payload.size() - written));
    std::uint32_t bytes = 0;
    FSP_FSCTL_FILE_INFO info{};
    session.check("Write", file.name_view(),
                  session.table().Write(session.file_system(), file.context(),
                                        const_cast<char*>(payload.data()) + written, written, length, 0, 0,
                                        &bytes, &info));
    if (bytes == 0) throw StepFailed{kStatusUnsuccessful, "Write took no byte"};
    written += bytes;
  }
  return written;
}

std::string write(Session& session, std::string_view path, const std::string& payload) {
  // As CreateFile with CREATE_ALWAYS: an existing file is opened and overwritten, a new one created.
  std::u16string name = utf16(path);
  std::uint32_t attributes = 0;
  const bool exists = session.table().GetSecurityByName(session.file_system(), name.data(), &attributes,
                                                        nullptr, nullptr) >= 0;
  OpenedFile file =
      exists ? OpenedFile(session, path, kFileNonDirectoryFile, kWriteAccess)
             : OpenedFile(session, path, kFileNonDirectoryFile, kWriteAccess, OpenedFile::Create{});
  if (exists) overwrite(session, file);
  file.add_cleanup_flags(kCleanupAfterWrite);
  return fmt::format("wrote {} bytes\n", write_payload(session, file, payload));
}

// As an editor that keeps an existing file open with its changes: written as write does, never closed.
std::string hold(Session& session, std::string_view path, const std::string& payload) {
  OpenedFile file(session, path, kFileNonDirectoryFile, kWriteAccess);
  overwrite(session, file);
  const std::uint64_t written = write_payload(session, file, payload);
  session.hold_open(file.leave_open());
  return fmt::format("wrote {} bytes and holds the file open\n", written);
}

std::string make_directory(Session& session, std::string_view path) {
  OpenedFile directory(session, path, kFileDirectoryFile, kReadAccess, OpenedFile::Create{});
  return "";
}

std::string remove(Session& session, std::string_view path) {
  OpenedFile file(session, path, 0, kDeleteAccess);
  session.check("SetDelete", file.name_view(),
                session.table().SetDelete(session.file_system(), file.context(), file.name(), 1));
  file.add_cleanup_flags(kFspCleanupDelete);
  return "";
}

std::string rename(Session& session, std::string_view path, std::string_view new_path) {
  OpenedFile file(session, path, 0, kDeleteAccess);
  std::u16string new_name = utf16(new_path);
  session.check(
      "Rename", new_name,
      session.table().Rename(session.file_system(), file.context(), file.name(), new_name.data(), 0));
  return "";
}

std::string dispatch(Session& session, const MountView& mount, const ControlRequest& request) {
  const std::vector<std::string>& words = request.words;
  const std::string_view command = words.empty() ? std::string_view() : std::string_view(words.front());
  const std::size_t arguments = words.empty() ? 0 : words.size() - 1;
  if (command == "volume" && arguments == 0) return volume(session);
  if (command == "params" && arguments == 0) return params(mount);
  if (command == "stat" && arguments == 1) return stat(session, words[1]);
  if (command == "dir" && arguments == 1) return dir(session, words[1]);
  if (command == "find" && arguments == 2) return find(session, words[1], words[2]);
  if (command == "read" && arguments == 1) return read(session, words[1]);
  if (command == "write" && arguments == 2) return write(session, words[1], request.payload);
  if (command == "hold" && arguments == 2) return hold(session, words[1], request.payload);
  if (command == "mkdir" && arguments == 1) return make_directory(session, words[1]);
  if (command == "delete" && arguments == 1) return remove(session, words[1]);
  if (command == "rename" && arguments == 2) return rename(session, words[1], words[2]);
  throw StepFailed{kStatusInvalidParameter, fmt::format("unknown request: {}", request_line(words))};
}

}  // namespace

std::string run_command(const MountView& mount, const ControlRequest& request, const DebugLog& log) {
  Session session(mount, log);
  try {
    return ok_reply(dispatch(session, mount, request));
  } catch (const StepFailed& failure) {
    return error_reply(failure.status, failure.step);
  }
}

}  // namespace winfsp_stub
