#pragma once

#include <expected>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace varlin::filesystem {

// Makes a file of a name that nothing holds yet, writes the bytes to it and returns once they are on
// the disk, so that a crash of the computer right after cannot take them. Fails with
// std::errc::file_exists when the name is taken and std::errc::no_such_file_or_directory when its
// folder is missing; a failure leaves no file behind.
std::expected<void, std::error_code> write_new_file_durably(const std::filesystem::path& path,
                                                            std::string_view bytes);

}  // namespace varlin::filesystem
