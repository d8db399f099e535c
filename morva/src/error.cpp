#include "morva/error.hpp"

#include <fmt/format.h>

#include <asio/error.hpp>

namespace morva {

std::string_view io_error_kind_name(IoErrorKind kind) {
  switch (kind) {
    case IoErrorKind::invalid_data: return "InvalidData";
    case IoErrorKind::unexpected_eof: return "UnexpectedEof";
    case IoErrorKind::write_zero: return "WriteZero";
    case IoErrorKind::not_found: return "NotFound";
    case IoErrorKind::connection_refused: return "ConnectionRefused";
    case IoErrorKind::connection_reset: return "ConnectionReset";
    case IoErrorKind::timed_out: return "TimedOut";
    case IoErrorKind::invalid_input: return "InvalidInput";
    case IoErrorKind::permission_denied: return "PermissionDenied";
    case IoErrorKind::already_exists: return "AlreadyExists";
    case IoErrorKind::not_a_directory: return "NotADirectory";
    case IoErrorKind::is_a_directory: return "IsADirectory";
    case IoErrorKind::invalid_filename: return "InvalidFilename";
    case IoErrorKind::other: return "Other";
  }
  return "Other";
}

namespace {

IoErrorKind kind_of(std::error_code code) {
  if (code == asio::error::eof) return IoErrorKind::unexpected_eof;
  if (code == asio::error::connection_refused) return IoErrorKind::connection_refused;
  if (code == asio::error::connection_reset || code == asio::error::connection_aborted ||
      code == asio::error::broken_pipe)
    return IoErrorKind::connection_reset;
  if (code == asio::error::timed_out) return IoErrorKind::timed_out;
  // Windows' ERROR_ACCESS_DENIED compares equal to the generic condition; Winsock's WSAEACCES does not.
  if (code == std::errc::permission_denied || code == asio::error::access_denied)
    return IoErrorKind::permission_denied;
  if (code == asio::error::host_not_found || code == asio::error::host_not_found_try_again)
    return IoErrorKind::not_found;
  return IoErrorKind::other;
}

}  // namespace

Error Error::message(std::string text) {
  Error error;
  error.text_ = std::move(text);
  return error;
}

Error Error::io(IoErrorKind kind, std::string text) {
  Error error;
  error.text_ = std::move(text);
  error.io_kind_ = kind;
  return error;
}

Error Error::system(std::error_code code) {
  Error error;
  error.text_ = code.message();
  error.io_kind_ = kind_of(code);
  error.system_code_ = code;
  return error;
}

Error Error::return_code(std::uint32_t code, std::string text) {
  Error error = message(std::move(text));
  error.return_code_ = code;
  return error;
}

Error Error::program_refused(std::uint32_t code, std::string text) {
  Error error = message(std::move(text));
  error.program_return_code_ = code;
  return error;
}

Error Error::status(std::uint32_t hresult, std::string text) {
  Error error = message(std::move(text));
  error.hresult_ = hresult;
  return error;
}

Error Error::text_fault(TextFault fault, std::string text) {
  Error error = message(std::move(text));
  error.text_fault_ = fault;
  return error;
}

std::string Error::diagnostic() const {
  if (hresult_) return fmt::format("status error HRESULT 0x{:08X}: {}", *hresult_, text_);
  if (!io_kind_) return fmt::format("\"{}\"", text_);
  if (system_code_) {
    return fmt::format("I/O error {} (system error {}): {}", io_error_kind_name(*io_kind_),
                       system_code_.value(), text_);
  }
  return fmt::format("I/O error {}: {}", io_error_kind_name(*io_kind_), text_);
}

}  // namespace morva
