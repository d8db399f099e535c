#pragma once

#include <asio/awaitable.hpp>

#include <string>

#include "morva/error.hpp"

namespace varlin::metadata_pipe {

// Turns what was read off one connection into its reply line (without the line feed). The request is
// the request line, its line feed included, or the reason no line could be read.
class RequestHandler {
 public:
  virtual ~RequestHandler() = default;
  virtual asio::awaitable<std::string> reply(morva::Result<std::string> request) = 0;
};

}  // namespace varlin::metadata_pipe
