#include "morva/ifs/return_code.hpp"

#include <fmt/format.h>

#include <array>

namespace morva::ifs {

namespace {

constexpr std::string_view kDefaultText = "file-service request failed";

// Indexed by return code; codes without a phrase of their own take the default text.
constexpr std::array<std::string_view, 35> kReturnCodeTexts = {
    kDefaultText,
    "file is in use",
    "file not found",
    "path not found",
    "path already exists",
    "access denied",
    "invalid file handle",
    "invalid path name",
    kDefaultText,
    "directory is not empty",
    kDefaultText,
    "resource limit exceeded",
    "resource is not available",
    "request denied",
    "directory entry is damaged",
    "invalid connection",
    "invalid request",
    "data-stream syntax error",
    kDefaultText,
    "parameter not supported",
    "parameter value not supported",
    "value could not be converted",
    kDefaultText,
    "request not supported",
    kDefaultText,
    kDefaultText,
    kDefaultText,
    kDefaultText,
    kDefaultText,
    kDefaultText,
    kDefaultText,
    kDefaultText,
    "sharing violation",
    "lock violation",
    "stale file handle",
};

}  // namespace

Error return_code_error(std::uint16_t code, std::string_view path) {
  const std::string_view text = code < kReturnCodeTexts.size() ? kReturnCodeTexts[code] : kDefaultText;
  return Error::return_code(code, fmt::format("{} for {} (return code {})", text, path, code));
}

}  // namespace morva::ifs
