#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace varlin {

// The mount program's options, from the command line, the environment and defaults.
struct Args {
  bool verbose = false;
  std::string host;
  std::optional<std::string> user;
  std::string mount_point;
  std::string remote_root;
  std::optional<std::uint32_t> mount_id;
  std::uint64_t max_file_size = 0;
  std::uint32_t cache_ttl_seconds = 0;

  friend bool operator==(const Args&, const Args&) = default;

  // Reads the process's command line and environment. Help ends the process with exit code 0, or 3
  // when standard output cannot take it, and any other parse error with exit code 2, so this returns
  // only a complete `Args`.
  static Args parse();
};

// A command line that ends the process instead of giving `Args`: help (exit code 0, text for standard
// output) or an error (exit code 2, text for standard error).
struct CommandLineExit {
  int exit_code = 0;
  std::string text;

  friend bool operator==(const CommandLineExit&, const CommandLineExit&) = default;
};

// Looks an environment variable up: absent when unset, an empty text when set to nothing.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Matches `arguments` (the first one is the program path; every one as UTF-8 bytes, possibly invalid)
// against the program's options, with `environment` as the fallback.
std::variant<Args, CommandLineExit> parse_command_line(std::span<const std::string> arguments,
                                                       const EnvironmentLookup& environment);

// A mount id: decimal, or hexadecimal after "0x"/"0X", white space around it ignored, never 0.
std::expected<std::uint32_t, std::string> parse_mount_id(std::string_view value);

}  // namespace varlin
