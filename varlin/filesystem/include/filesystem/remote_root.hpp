#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace varlin::filesystem {

// What a Unix-like shell on Windows tells about the paths it rewrites. Values that are not valid
// Unicode count as absent, except that MSYSTEM counts whenever it is set.
struct RootEnvironment {
  bool msystem = false;
  std::optional<std::string> shell;
  std::optional<std::string> exepath;
  std::optional<std::string> temp_directory;  // the first of TMPDIR, TEMP and TMP

  static RootEnvironment of_process();
};

// Undoes a shell's rewrite of "/QSYS.LIB" into a Windows path (such as "C:/Program Files/Git/QSYS.LIB")
// when the program runs under such a shell and the root does not begin with '/'; else the root as given.
std::string translate_remote_root(std::string_view root, const RootEnvironment& environment);

// The root checked (absolute, no '\', no ".." step) and spelled without "." or empty steps, so
// without a trailing '/' ("/" stays).
morva::Result<std::string> normalize_remote_root(std::string_view root);

}  // namespace varlin::filesystem
