#pragma once

#include <asio/any_io_executor.hpp>

#include <cstdint>
#include <memory>
#include <string>

#include "metadata_pipe/pipe_server.hpp"
#include "metadata_pipe/pipe_state.hpp"
#include "metadata_pipe/request_handler.hpp"
#include "metadata_pipe/shutdown_signal.hpp"
#include "morva/error.hpp"

namespace varlin::metadata_pipe {

// Creates the pipe's first instance (failing when another process owns the name), then serves the pipe
// on the executor until the returned sender is sent to or released.
morva::Result<ShutdownSender> serve_pipe(const asio::any_io_executor& executor, const std::string& pipe_name,
                                         std::shared_ptr<RequestHandler> handler,
                                         PipeServerLimits limits = {});

// Serves the mount's metadata pipe: "getFileProperties" answered from the mount's cache and connections.
morva::Result<ShutdownSender> serve_metadata_pipe(const asio::any_io_executor& executor, PipeState state,
                                                  std::uint32_t mount_id, PipeServerLimits limits = {});

}  // namespace varlin::metadata_pipe
