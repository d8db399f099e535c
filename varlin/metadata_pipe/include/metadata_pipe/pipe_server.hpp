#pragma once

#include <chrono>

namespace varlin::metadata_pipe {

struct PipeServerLimits {
  // How long a client may take to send its request line.
  std::chrono::milliseconds request_time = std::chrono::seconds(10);
  // How long a client may take to read the whole reply; then its instance is disconnected and freed.
  std::chrono::milliseconds reply_time = std::chrono::seconds(10);
};

}  // namespace varlin::metadata_pipe
