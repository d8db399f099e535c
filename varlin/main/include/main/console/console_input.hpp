#pragma once

#include <string>
#include <string_view>

#include "main/command_line/command_line.hpp"
#include "main/console/console_output.hpp"
#include "main/console/line_reader.hpp"
#include "morva/error.hpp"
#include "shared/stop_channel.hpp"

namespace varlin {

// The IBM i user profile: the `user` option trimmed, or, when it is absent or blank, asked for (the
// prompt written by `prompt`) until a non-blank line comes. End of input while asking is an
// UnexpectedEof error.
morva::Result<std::string> resolve_user_profile(const Args& args, LineReader& input,
                                                const TextWriter& prompt);

// Reads lines until one is "stop" (any case, white space around it), then sends one stop message. End of
// input or a read error ends it without sending.
void stdin_stop_reader(StopSender sender, LineReader& input);

}  // namespace varlin
