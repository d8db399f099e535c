#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <variant>

#include "morva/error.hpp"
#include "winfsp/api.hpp"
#include "winfsp/nt_status.hpp"

namespace varlin::filesystem {

// Why a file-system operation failed: the NTSTATUS to answer, or an I/O error kind that the operation
// table turns into one.
using OperationError = std::variant<winfsp::NtStatus, morva::IoErrorKind>;

template <typename T>
using OperationResult = std::expected<T, OperationError>;

inline std::unexpected<OperationError> fail(winfsp::NtStatus status) {
  return std::unexpected(OperationError(status));
}

inline std::unexpected<OperationError> fail(morva::IoErrorKind kind) {
  return std::unexpected(OperationError(kind));
}

// The Win32 error code that stands for an I/O error kind, for the kinds that have one.
std::optional<std::uint32_t> win32_error_of(morva::IoErrorKind kind);

// The NTSTATUS WinFsp receives for an error: a status as it is, an I/O error kind through its Win32
// code and FspNtStatusFromWin32, or STATUS_UNEXPECTED_IO_ERROR for a kind without a code.
winfsp::NtStatus nt_status_of(const OperationError& error, winfsp::WinFspApi& winfsp);

}  // namespace varlin::filesystem
