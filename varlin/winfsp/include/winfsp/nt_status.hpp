#pragma once

#include <cstdint>

namespace varlin::winfsp {

// An NTSTATUS: negative values are failures.
using NtStatus = std::int32_t;

constexpr NtStatus nt_status(std::uint32_t bits) {
  return static_cast<NtStatus>(bits);
}

constexpr NtStatus kStatusSuccess = 0;
constexpr NtStatus kStatusUnsuccessful = nt_status(0xC0000001);
constexpr NtStatus kStatusInvalidParameter = nt_status(0xC000000D);
constexpr NtStatus kStatusInvalidDeviceRequest = nt_status(0xC0000010);
constexpr NtStatus kStatusAccessDenied = nt_status(0xC0000022);
constexpr NtStatus kStatusNoncontinuableException = nt_status(0xC0000025);
constexpr NtStatus kStatusObjectNameInvalid = nt_status(0xC0000033);
constexpr NtStatus kStatusObjectNameNotFound = nt_status(0xC0000034);
constexpr NtStatus kStatusObjectNameCollision = nt_status(0xC0000035);
constexpr NtStatus kStatusObjectPathNotFound = nt_status(0xC000003A);
constexpr NtStatus kStatusSharingViolation = nt_status(0xC0000043);
constexpr NtStatus kStatusProcedureNotFound = nt_status(0xC000007A);
constexpr NtStatus kStatusDiskFull = nt_status(0xC000007F);
constexpr NtStatus kStatusInsufficientResources = nt_status(0xC000009A);
constexpr NtStatus kStatusFileIsADirectory = nt_status(0xC00000BA);
constexpr NtStatus kStatusUnexpectedNetworkError = nt_status(0xC00000C4);
constexpr NtStatus kStatusUnexpectedIoError = nt_status(0xC00000E9);
constexpr NtStatus kStatusDirectoryNotEmpty = nt_status(0xC0000101);
constexpr NtStatus kStatusNotADirectory = nt_status(0xC0000103);
constexpr NtStatus kStatusNameTooLong = nt_status(0xC0000106);
constexpr NtStatus kStatusIllegalCharacter = nt_status(0xC0000161);
constexpr NtStatus kStatusUnmappableCharacter = nt_status(0xC0000162);

}  // namespace varlin::winfsp
