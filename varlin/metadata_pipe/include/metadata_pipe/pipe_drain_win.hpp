#pragma once

#include <asio/awaitable.hpp>
#include <asio/windows/stream_handle.hpp>

#include "morva/error.hpp"

namespace varlin::metadata_pipe {

// Waits until the client has read everything written to the pipe instance, has closed its end, or the
// instance is disconnected, without blocking a thread of the runtime. A disconnect drops what the client
// has not read, so a server disconnects only after this. An error only when the wait cannot be set up.
asio::awaitable<morva::Result<void>> wait_until_drained(asio::windows::stream_handle& pipe);

}  // namespace varlin::metadata_pipe
