#include "filesystem/recovery_copies.hpp"

#include <fmt/format.h>

#include <chrono>
#include <ranges>
#include <system_error>

#include "filesystem/durable_file.hpp"
#include "filesystem/status.hpp"
#include "filesystem/windows_name.hpp"
#include "morva/log.hpp"

namespace varlin::filesystem {

namespace {

namespace fs = std::filesystem;

// How often a keep makes its folders again when they vanish before its copy is in them.
constexpr int kFolderAttempts = 16;

fs::path path_of_utf8(std::string_view text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// "2026-05-01T08-09-10.123456Z" in UTC: sortable, and without the ':' a Windows name cannot hold.
std::string time_stamp() {
  using namespace std::chrono;
  const auto now = time_point_cast<microseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  return fmt::format("{:04}-{:02}-{:02}T{:02}-{:02}-{:02}.{:06}Z", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                     time.hours().count(), time.minutes().count(), time.seconds().count(),
                     time.subseconds().count());
}

// The path's names as a path below the folder, each a name Windows makes a file or folder of.
fs::path relative_copy_path(std::string_view object_path) {
  fs::path relative;
  for (auto piece : std::views::split(object_path, '/'))
    if (!piece.empty()) relative /= path_of_utf8(windows_name(std::string_view(piece.begin(), piece.end())));
  return relative;
}

// "HELLO.clp" made at a time is "HELLO.{time}.clp"; when a copy made within the same microsecond holds
// that name, "-2" follows the time, and so on.
std::expected<fs::path, std::error_code> write_new_copy(const fs::path& directory, const fs::path& name,
                                                        std::string_view text) {
  const std::string stamp = time_stamp();
  for (int attempt = 1;; ++attempt) {
    const std::string suffix = attempt == 1 ? stamp : fmt::format("{}-{}", stamp, attempt);
    fs::path candidate = directory / name.stem();
    candidate += path_of_utf8("." + suffix);
    candidate += name.extension();
    auto written = write_new_file_durably(candidate, text);
    if (written) return candidate;
    if (written.error() != std::errc::file_exists) return std::unexpected(written.error());
  }
}

}  // namespace

morva::Result<fs::path> RecoveryCopies::keep(std::string_view object_path, std::string_view text) const {
  const fs::path relative = relative_copy_path(object_path);
  const fs::path directory = (folder_ / relative).parent_path();
  std::lock_guard lock(*folders_lock_);
  std::error_code error;
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    fs::create_directories(directory, error);
    if (!error) {
      auto copy = write_new_copy(directory, relative.filename(), text);
      if (copy) return std::move(*copy);
      error = copy.error();
    }
    // Another mount of the host removed the folders, left empty by its discard, before the copy was in them.
    if (error != std::errc::no_such_file_or_directory) break;
  }
  return std::unexpected(morva::Error::io(
      morva::IoErrorKind::other, fmt::format("could not keep a copy of the text of {} in {}: {}", object_path,
                                             utf8_of(directory), error.message())));
}

void RecoveryCopies::discard(const fs::path& copy) const {
  std::lock_guard lock(*folders_lock_);
  std::error_code error;
  if (fs::remove(copy, error); error) {
    morva::log::warn(kLogTarget, "could not remove a copy of a saved text",
                     {{"copy", utf8_of(copy)}, {"error", error.message()}});
    return;
  }
  // A folder that still holds something stays.
  for (fs::path folder = copy.parent_path();
       folder != folder_ && folder.native().starts_with(folder_.native()); folder = folder.parent_path())
    if (!fs::remove(folder, error) || error) break;
}

std::size_t RecoveryCopies::count() const {
  std::error_code error;
  std::size_t files = 0;
  for (fs::recursive_directory_iterator entry(folder_, error), end; !error && entry != end;
       entry.increment(error))
    if (entry->is_regular_file(error)) ++files;
  return files;
}

fs::path recovery_folder(std::string_view local_app_data, std::string_view host) {
  const std::string name = host.empty() ? "_" : windows_name(host);
  return path_of_utf8(local_app_data) / "varlin" / "unsaved" / path_of_utf8(name);
}

std::string utf8_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string earlier_copies_line(const RecoveryCopies& copies) {
  const std::size_t count = copies.count();
  if (count == 0) return {};
  return fmt::format("{} unsaved {} kept in {}\n", count,
                     count == 1 ? "text from an earlier mount is" : "texts from earlier mounts are",
                     utf8_of(copies.folder()));
}

}  // namespace varlin::filesystem
