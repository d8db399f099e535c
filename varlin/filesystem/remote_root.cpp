#include "filesystem/remote_root.hpp"

#include <algorithm>
#include <array>
#include <ranges>

#include "morva/ccsid/utf8.hpp"
#include "shared/environment.hpp"
#include "shared/path_text.hpp"

namespace varlin::filesystem {

namespace {

std::optional<std::string> unicode_value(std::string_view name) {
  auto value = process_environment_value(name);
  if (!value || !morva::ccsid::is_valid_utf8(*value)) return std::nullopt;
  return value;
}

std::string with_slashes(std::string_view text) {
  std::string result(text);
  std::ranges::replace(result, '\\', '/');
  return result;
}

std::string without_trailing_slashes(std::string text) {
  text.erase(text.find_last_not_of('/') + 1);
  return text;
}

// The folder of the shell's installation, from its bash program's path.
std::optional<std::string> shell_prefix(std::string_view shell) {
  const std::string path = with_slashes(shell);
  for (std::string_view suffix : {"/usr/bin/bash.exe", "/usr/bin/bash"}) {
    if (!path.ends_with(suffix)) continue;
    if (path.size() == suffix.size()) return std::nullopt;
    return path.substr(0, path.size() - suffix.size());
  }
  return std::nullopt;
}

}  // namespace

RootEnvironment RootEnvironment::of_process() {
  RootEnvironment environment;
  environment.msystem = process_environment_value("MSYSTEM").has_value();
  environment.shell = unicode_value("SHELL");
  environment.exepath = unicode_value("EXEPATH");
  for (std::string_view name : {"TMPDIR", "TEMP", "TMP"}) {
    environment.temp_directory = unicode_value(name);
    if (environment.temp_directory) break;
  }
  return environment;
}

std::string translate_remote_root(std::string_view root, const RootEnvironment& environment) {
  if (!environment.msystem || root.starts_with('/')) return std::string(root);
  const std::string slashed = with_slashes(root);

  std::array<std::optional<std::string>, 2> candidates;
  if (environment.shell) candidates[0] = shell_prefix(*environment.shell);
  if (environment.exepath) candidates[1] = without_trailing_slashes(with_slashes(*environment.exepath));
  for (const auto& candidate : candidates) {
    if (!candidate) continue;
    const auto rest = strip_prefix_ignore_ascii_case(slashed, *candidate);
    if (rest && rest->starts_with('/')) return std::string(*rest);
  }

  if (environment.temp_directory) {
    const std::string temp = without_trailing_slashes(with_slashes(*environment.temp_directory));
    const auto rest = strip_prefix_ignore_ascii_case(slashed, temp);
    if (rest && (rest->empty() || rest->starts_with('/'))) return "/tmp" + std::string(*rest);
  }
  return std::string(root);
}

morva::Result<std::string> normalize_remote_root(std::string_view root) {
  const auto refused = [] {
    return std::unexpected(morva::Error::io(morva::IoErrorKind::invalid_input,
                                            "remote root must be an absolute IBM i IFS path"));
  };
  if (!root.starts_with('/') || root.find('\\') != std::string_view::npos) return refused();
  // The IBM i reads "." and empty steps as no step at all; the mount's checks of the library file system
  // need the root spelled that way too.
  std::string normalized;
  for (const auto step : std::views::split(root, '/')) {
    const std::string_view name(step.begin(), step.end());
    if (name == "..") return refused();
    if (name.empty() || name == ".") continue;
    normalized += '/';
    normalized += name;
  }
  return normalized.empty() ? std::string("/") : normalized;
}

}  // namespace varlin::filesystem
