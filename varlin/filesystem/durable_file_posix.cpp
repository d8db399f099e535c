#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "filesystem/durable_file.hpp"

namespace varlin::filesystem {

namespace {

namespace fs = std::filesystem;

std::unexpected<std::error_code> last_error() {
  return std::unexpected(std::error_code(errno, std::generic_category()));
}

std::expected<void, std::error_code> write_all(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(file, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return last_error();
    if (written == 0) return std::unexpected(std::make_error_code(std::errc::io_error));
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// A new file's name lasts once its folder is on the disk too.
std::expected<void, std::error_code> sync_folder(const fs::path& folder) {
  const int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return last_error();
  std::expected<void, std::error_code> synced;
  if (::fsync(handle) != 0) synced = last_error();
  ::close(handle);
  return synced;
}

}  // namespace

std::expected<void, std::error_code> write_new_file_durably(const fs::path& path, std::string_view bytes) {
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (file < 0) return last_error();
  auto written = write_all(file, bytes);
  if (written && ::fsync(file) != 0) written = last_error();
  if (::close(file) != 0 && written) written = last_error();
  if (written) written = sync_folder(path.parent_path());
  if (!written) ::unlink(path.c_str());
  return written;
}

}  // namespace varlin::filesystem
