#pragma once

#include <string>

#include "morva/error.hpp"

namespace varlin {

// The process's exit codes; a command-line error ends it earlier, with 2 (Args::parse).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
// Standard output that cannot be written or a thread that cannot start: a fault of the program's
// surroundings rather than of the mount.
inline constexpr int kExitInternalFault = 3;

// How a run that did not end normally ends the process.
struct RunFailure {
  morva::Error error;
  int exit_code = kExitFailure;
};

// The line written to standard error for a failed run: "Error: " and the error's diagnostic form.
std::string error_report(const morva::Error& error);

}  // namespace varlin
