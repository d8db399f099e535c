#include "winfsp/operation_error.hpp"

namespace varlin::filesystem {

std::optional<std::uint32_t> win32_error_of(morva::IoErrorKind kind) {
  using morva::IoErrorKind;
  switch (kind) {
    case IoErrorKind::not_found: return 2;           // ERROR_FILE_NOT_FOUND
    case IoErrorKind::permission_denied: return 5;   // ERROR_ACCESS_DENIED
    case IoErrorKind::already_exists: return 183;    // ERROR_ALREADY_EXISTS
    case IoErrorKind::not_a_directory: return 267;   // ERROR_DIRECTORY
    case IoErrorKind::is_a_directory: return 336;    // ERROR_DIRECTORY_NOT_SUPPORTED
    case IoErrorKind::invalid_input: return 87;      // ERROR_INVALID_PARAMETER
    case IoErrorKind::invalid_filename: return 206;  // ERROR_FILENAME_EXCED_RANGE
    default: return std::nullopt;
  }
}

winfsp::NtStatus nt_status_of(const OperationError& error, winfsp::WinFspApi& winfsp) {
  if (const auto* status = std::get_if<winfsp::NtStatus>(&error)) return *status;
  const auto code = win32_error_of(std::get<morva::IoErrorKind>(error));
  return code ? winfsp.nt_status_from_win32(*code) : winfsp::kStatusUnexpectedIoError;
}

}  // namespace varlin::filesystem
