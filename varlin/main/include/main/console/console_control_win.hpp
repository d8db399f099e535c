#pragma once

#ifdef _WIN32

#include "morva/error.hpp"
#include "shared/stop_channel.hpp"

namespace varlin {

// Installs the process's console-control handler: every console control event (Ctrl+C, Ctrl+Break,
// closing the console, logoff, shutdown) sends one stop message on `sender` from the "ctrl-c" thread.
// Ctrl+C and Ctrl+Break are then handled and do not end the process. Installed once per process;
// never removed.
morva::Result<void> install_console_control_handler(StopSender sender);

// Called by main once its shutdown is done. Windows ends the process as soon as the handler returns
// from a close, logoff or shutdown event, so for those the handler waits for this (within the
// system's grace time) to let the unmount finish first.
void console_shutdown_finished();

}  // namespace varlin

#endif
