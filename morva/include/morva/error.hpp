#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace morva {

// The kinds of I/O failure that callers tell apart.
enum class IoErrorKind {
  invalid_data,
  unexpected_eof,
  write_zero,
  not_found,
  connection_refused,
  connection_reset,
  timed_out,
  invalid_input,
  permission_denied,
  already_exists,
  not_a_directory,
  is_a_directory,
  invalid_filename,
  other,
};

std::string_view io_error_kind_name(IoErrorKind kind);

// Why a text cannot be stored as an IBM i source member's records.
enum class TextFault {
  unmappable_character,  // a character the member's CCSID cannot represent
  does_not_fit,          // a line longer than the record, or a field its blanks cannot fill
};

// The library's error value: a message text, or an I/O error with its kind (and the system's error
// code when a socket produced it), or a Windows status with its HRESULT. A file-server return code
// travels with its message, and so does the return code of a program call that the IBM i refused.
class Error {
 public:
  static Error message(std::string text);
  static Error io(IoErrorKind kind, std::string text);
  static Error system(std::error_code code);
  static Error return_code(std::uint32_t code, std::string text);
  static Error program_refused(std::uint32_t code, std::string text);
  static Error status(std::uint32_t hresult, std::string text);
  static Error text_fault(TextFault fault, std::string text);

  bool is_io() const noexcept { return io_kind_.has_value(); }
  std::optional<IoErrorKind> io_kind() const noexcept { return io_kind_; }
  std::error_code system_code() const noexcept { return system_code_; }
  std::optional<std::uint32_t> return_code() const noexcept { return return_code_; }
  // Set only when the IBM i answered a program call with failure (the program ended in an escape
  // message); a connection that failed or a reply that could not be read carries none.
  std::optional<std::uint32_t> program_return_code() const noexcept { return program_return_code_; }
  std::optional<std::uint32_t> hresult() const noexcept { return hresult_; }
  std::optional<TextFault> text_fault() const noexcept { return text_fault_; }

  // The message, or for a system error the system's text.
  const std::string& text() const noexcept { return text_; }

  // How the error is shown after "Error: ": a message in double quotes, an I/O error with its kind, a
  // status with its HRESULT.
  std::string diagnostic() const;

  friend bool operator==(const Error&, const Error&) = default;

 private:
  Error() = default;

  std::string text_;
  std::optional<IoErrorKind> io_kind_;
  std::error_code system_code_;
  std::optional<std::uint32_t> return_code_;
  std::optional<std::uint32_t> program_return_code_;
  std::optional<std::uint32_t> hresult_;
  std::optional<TextFault> text_fault_;
};

template <typename T>
using Result = std::expected<T, Error>;

inline std::unexpected<Error> fail(std::string text) {
  return std::unexpected(Error::message(std::move(text)));
}

}  // namespace morva
