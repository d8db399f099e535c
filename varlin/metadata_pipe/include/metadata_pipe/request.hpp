#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace varlin::metadata_pipe {

// Nesting deeper than this in a request line (skipped values included) makes it invalid.
inline constexpr std::size_t kMaxRequestDepth = 128;

// One request line of the pipe.
struct Request {
  std::uint32_t version = 0;
  std::string method;
  std::string path;

  // Reads a request line (a trailing line feed may still be on it): a JSON object with the keys
  // version, method and path in any order and other keys skipped, or an array of the three values.
  // The error text names the fault and its line and column.
  static morva::Result<Request> deserialize(std::string_view line);

  friend bool operator==(const Request&, const Request&) = default;
};

}  // namespace varlin::metadata_pipe
