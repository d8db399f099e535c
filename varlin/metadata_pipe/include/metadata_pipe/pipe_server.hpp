#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "metadata_pipe/pipe_state.hpp"
#include "metadata_pipe/request_handler.hpp"
#include "metadata_pipe/shutdown_signal.hpp"
#include "morva/error.hpp"

namespace varlin::metadata_pipe {

struct PipeServerLimits {
  // How long a client may take to send its request line.
  std::chrono::milliseconds request_time = std::chrono::seconds(10);
  // How long a client may take to read the whole reply; then its instance is disconnected and freed.
  std::chrono::milliseconds reply_time = std::chrono::seconds(10);
};

#ifdef _WIN32
// Creates the pipe's first instance (failing when another process owns the name), then serves the pipe
// on the executor until the returned sender is sent to or released.
morva::Result<ShutdownSender> serve_pipe(const asio::any_io_executor& executor, const std::string& pipe_name,
                                         std::shared_ptr<RequestHandler> handler,
                                         PipeServerLimits limits = {});

// Serves the mount's metadata pipe: "getFileProperties" answered from the mount's cache and connections.
morva::Result<ShutdownSender> serve_metadata_pipe(const asio::any_io_executor& executor, PipeState state,
                                                  std::uint32_t mount_id, PipeServerLimits limits = {});
#endif

}  // namespace varlin::metadata_pipe
