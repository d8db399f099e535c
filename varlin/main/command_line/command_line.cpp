#include "main/command_line/command_line.hpp"

#include <fmt/format.h>

#include <array>
#include <limits>

#include "morva/ccsid/utf8.hpp"

// Our own small parser rather than CLI11: this command line takes numbers only as an optional sign and
// plain decimal digits (CLI11's integer conversion also takes prefixed forms such as 0x and 0b), puts
// environment values through the same checks, and ends every error with exit code 2 (CLI11's exit codes
// differ by error type).

namespace varlin {

namespace {

enum class ValueKind { flag, text, host, mount_id, unsigned64, ttl_seconds };

struct OptionSpec {
  std::string_view long_name;
  char short_name;
  std::string_view value_name;
  std::string_view environment;
  std::string_view default_value;
  ValueKind kind;
  std::string_view help;
};

// Slots in declaration order of `Args`.
enum Slot : std::size_t {
  kVerbose,
  kHost,
  kUser,
  kMountPoint,
  kRemoteRoot,
  kMountId,
  kMaxFileSize,
  kCacheTtl
};

constexpr std::string_view kProgramName = "varlin";
constexpr std::string_view kAbout = "Mount an IBM i IFS directory as a Windows drive";
constexpr std::uint64_t kDefaultMaxFileSize = 64ull * 1024 * 1024;
constexpr std::uint32_t kDefaultCacheTtlSeconds = 30;

const std::array<OptionSpec, 8>& options() {
  // The defaults are handed over as text, made once.
  static const std::string max_file_size = std::to_string(kDefaultMaxFileSize);
  static const std::string cache_ttl = std::to_string(kDefaultCacheTtlSeconds);
  static const std::array<OptionSpec, 8> table{{
      {"verbose", 'v', "VERBOSE", "", "", ValueKind::flag, "Enable diagnostic filesystem logging"},
      {"host", 0, "HOST", "MORVA_HOST", "", ValueKind::host, "IBM i host name or IP address"},
      {"user", 0, "USER", "MORVA_USER", "", ValueKind::text, "IBM i user profile"},
      {"mount-point", 0, "MOUNT_POINT", "VARLIN_MOUNT_POINT", "Z:", ValueKind::text,
       "Drive letter or directory at which WinFsp mounts the filesystem"},
      {"remote-root", 0, "REMOTE_ROOT", "VARLIN_REMOTE_ROOT", "/", ValueKind::text,
       "IBM i IFS directory exposed as the root of the mount"},
      {"mount-id", 0, "MOUNT_ID", "VARLIN_MOUNT_ID", "", ValueKind::mount_id,
       "Numeric identity advertised as the volume serial and metadata-pipe suffix"},
      {"max-file-size", 0, "MAX_FILE_SIZE", "VARLIN_MAX_FILE_SIZE", max_file_size, ValueKind::unsigned64,
       "Largest converted QSYS source member that may be buffered"},
      {"cache-ttl-seconds", 0, "CACHE_TTL_SECONDS", "VARLIN_CACHE_TTL_SECONDS", cache_ttl,
       ValueKind::ttl_seconds, "Seconds to cache IBM i metadata and directory listings"},
  }};
  return table;
}

// Plain digits of `base`, at least one, up to `maximum`.
std::optional<std::uint64_t> parse_digits(std::string_view digits, unsigned base, std::uint64_t maximum) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (value > (maximum - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

std::optional<std::uint64_t> parse_unsigned(std::string_view text, unsigned base, std::uint64_t maximum) {
  if (text.starts_with('+')) text.remove_prefix(1);
  return parse_digits(text, base, maximum);
}

std::expected<std::uint64_t, std::string> parse_max_file_size(std::string_view text) {
  const auto value = parse_unsigned(text, 10, std::numeric_limits<std::uint64_t>::max());
  if (!value) return std::unexpected("not an unsigned 64-bit decimal number");
  return *value;
}

std::expected<std::uint32_t, std::string> parse_cache_ttl(std::string_view text) {
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto magnitude = parse_digits(text, 10, negative ? kLargest + 1 : kLargest);
  if (!magnitude) return std::unexpected("not a 64-bit decimal number");
  if (negative && *magnitude != 0)
    return std::unexpected(fmt::format("-{} is not in 0..={}", *magnitude, 0xFFFFFFFFu));
  if (*magnitude > 0xFFFFFFFFu)
    return std::unexpected(fmt::format("{} is not in 0..={}", *magnitude, 0xFFFFFFFFu));
  return static_cast<std::uint32_t>(*magnitude);
}

// The reason a value is refused, if it is.
std::optional<std::string> refusal(ValueKind kind, std::string_view value) {
  switch (kind) {
    case ValueKind::host:
      // No IBM i is named by nothing but blanks; the name is otherwise used as typed.
      if (morva::ccsid::trim_white_space(value).empty()) return "host must not be empty or only white space";
      break;
    case ValueKind::mount_id:
      if (auto id = parse_mount_id(value); !id) return id.error();
      break;
    case ValueKind::unsigned64:
      if (auto size = parse_max_file_size(value); !size) return size.error();
      break;
    case ValueKind::ttl_seconds:
      if (auto ttl = parse_cache_ttl(value); !ttl) return ttl.error();
      break;
    case ValueKind::flag:
    case ValueKind::text: break;
  }
  return std::nullopt;
}

std::string usage_form(const OptionSpec& option) {
  if (option.kind == ValueKind::flag) return fmt::format("--{}", option.long_name);
  return fmt::format("--{} <{}>", option.long_name, option.value_name);
}

std::string_view file_name(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string usage_line(std::string_view program) {
  return fmt::format("Usage: {} [OPTIONS] {}", program, usage_form(options()[kHost]));
}

std::string help_text(std::string_view program) {
  std::string text = fmt::format("{}\n\n{}\n\nOptions:\n", kAbout, usage_line(program));
  const auto line = [&](char short_name, const std::string& names_form, std::string_view help) {
    const std::string names =
        short_name != 0 ? fmt::format("-{}, {}", short_name, names_form) : fmt::format("    {}", names_form);
    text += fmt::format("  {:<38}  {}\n", names, help);
  };
  for (const OptionSpec& option : options()) {
    std::string help{option.help};
    if (!option.environment.empty()) help += fmt::format(" [env: {}]", option.environment);
    if (!option.default_value.empty()) help += fmt::format(" [default: {}]", option.default_value);
    line(option.short_name, usage_form(option), help);
  }
  line('h', "--help", "Print help");
  return text;
}

CommandLineExit error_exit(std::string_view program, std::string_view message) {
  return {2, fmt::format("error: {}\n\n{}\n\nFor more information, try '--help'.\n", message,
                         usage_line(program))};
}

std::string invalid_value(const OptionSpec& option, std::string_view value, std::string_view reason) {
  return fmt::format("invalid value '{}' for '{}': {}", value, usage_form(option), reason);
}

// The option named by a long name, or by a one-character short name.
std::optional<Slot> find_option(std::string_view long_name, char short_name) {
  for (std::size_t slot = 0; slot < options().size(); ++slot) {
    const OptionSpec& option = options()[slot];
    if ((!long_name.empty() && option.long_name == long_name) ||
        (short_name != 0 && option.short_name == short_name))
      return static_cast<Slot>(slot);
  }
  return std::nullopt;
}

Args from_matches(const std::array<std::optional<std::string>, 8>& values) {
  Args args;
  args.verbose = values[kVerbose].has_value();
  args.host = *values[kHost];
  args.user = values[kUser];
  args.mount_point = *values[kMountPoint];
  args.remote_root = *values[kRemoteRoot];
  if (values[kMountId]) args.mount_id = *parse_mount_id(*values[kMountId]);
  args.max_file_size = *parse_max_file_size(*values[kMaxFileSize]);
  args.cache_ttl_seconds = *parse_cache_ttl(*values[kCacheTtl]);
  return args;
}

}  // namespace

std::expected<std::uint32_t, std::string> parse_mount_id(std::string_view value) {
  const std::string_view text = morva::ccsid::trim_white_space(value);
  const auto number = text.starts_with("0x") || text.starts_with("0X")
                          ? parse_unsigned(text.substr(2), 16, 0xFFFFFFFFu)
                          : parse_unsigned(text, 10, 0xFFFFFFFFu);
  if (!number) return std::unexpected("mount id must be a 32-bit decimal or 0x-prefixed hexadecimal number");
  if (*number == 0) return std::unexpected("mount id must not be zero");
  return static_cast<std::uint32_t>(*number);
}

std::variant<Args, CommandLineExit> parse_command_line(std::span<const std::string> arguments,
                                                       const EnvironmentLookup& environment) {
  const std::string_view program = arguments.empty() ? kProgramName : file_name(arguments.front());
  const auto fail = [&](std::string_view message) { return error_exit(program, message); };
  constexpr std::string_view kInvalidArgument = "invalid UTF-8 was detected in one or more arguments";

  // Arguments are taken in order, so help shows whatever follows it.
  std::array<std::optional<std::string>, 8> values;
  bool options_ended = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!morva::ccsid::is_valid_utf8(argument)) return fail(kInvalidArgument);
    if (options_ended || argument.size() < 2 || argument[0] != '-')
      return fail(fmt::format("unexpected argument '{}' found", argument));
    if (argument == "--") {
      options_ended = true;
      continue;
    }

    std::optional<Slot> slot;
    std::optional<std::string_view> attached;
    std::string_view shown = argument;
    if (argument.starts_with("--")) {
      std::string_view name = argument.substr(2);
      if (const auto equals = name.find('='); equals != std::string_view::npos) {
        attached = name.substr(equals + 1);
        name = name.substr(0, equals);
        shown = argument.substr(0, equals + 2);
      }
      if (name == "help") {
        if (attached)
          return fail(
              fmt::format("unexpected value '{}' for '--help' found; no more were expected", *attached));
        return CommandLineExit{0, help_text(program)};
      }
      slot = find_option(name, 0);
    } else if (argument.size() == 2) {
      if (argument[1] == 'h') return CommandLineExit{0, help_text(program)};
      slot = find_option({}, argument[1]);
    }
    if (!slot) return fail(fmt::format("unexpected argument '{}' found", shown));

    const OptionSpec& option = options()[*slot];
    if (values[*slot])
      return fail(fmt::format("the argument '{}' cannot be used multiple times", usage_form(option)));
    if (option.kind == ValueKind::flag) {
      if (attached)
        return fail(fmt::format("unexpected value '{}' for '{}' found; no more were expected", *attached,
                                usage_form(option)));
      values[*slot] = std::string{};
      continue;
    }
    if (!attached) {
      const bool next_is_value =
          i + 1 < arguments.size() && !(arguments[i + 1].size() > 1 && arguments[i + 1].starts_with('-'));
      if (!next_is_value)
        return fail(fmt::format("a value is required for '{}' but none was supplied", usage_form(option)));
      attached = arguments[++i];
      if (!morva::ccsid::is_valid_utf8(*attached)) return fail(kInvalidArgument);
    }
    if (auto reason = refusal(option.kind, *attached)) return fail(invalid_value(option, *attached, *reason));
    values[*slot] = std::string{*attached};
  }

  for (std::size_t slot = 0; slot < options().size(); ++slot) {
    const OptionSpec& option = options()[slot];
    if (values[slot] || option.environment.empty()) continue;
    std::optional<std::string> value = environment(option.environment);
    if (!value) continue;
    if (!morva::ccsid::is_valid_utf8(*value))
      return fail(fmt::format("invalid UTF-8 was detected in environment variable {}", option.environment));
    if (auto reason = refusal(option.kind, *value)) return fail(invalid_value(option, *value, *reason));
    values[slot] = std::move(value);
  }

  for (std::size_t slot = 0; slot < options().size(); ++slot)
    if (!values[slot] && !options()[slot].default_value.empty())
      values[slot] = std::string{options()[slot].default_value};
  if (!values[kHost])
    return fail(fmt::format("the following required arguments were not provided:\n  {}",
                            usage_form(options()[kHost])));
  return from_matches(values);
}

}  // namespace varlin
