#pragma once

#include <spdlog/sinks/sink.h>

#include <memory>

#include "main/command_line/command_line.hpp"
#include "main/console/console_output.hpp"

namespace varlin {

// Log lines carry ANSI colours unless NO_COLOR is set to a non-empty text; a value that is not valid
// Unicode counts as unset.
bool log_colours_wanted(const EnvironmentLookup& environment);

// Makes the process's default logger write every event of level DEBUG and above to `sink`, one line
// each (LogLineFormatter).
void install_diagnostic_logging(std::shared_ptr<spdlog::sinks::sink> sink, bool colours);

// The same with each line handed, whole, to `write`; a line that cannot be written is lost.
void install_diagnostic_logging(TextWriter write, bool colours);

// Leaves the process without diagnostic logging: the logging library's own default logger would
// print every event from INFO up.
void silence_diagnostic_logging();

}  // namespace varlin
