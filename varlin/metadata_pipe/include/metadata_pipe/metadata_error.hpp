#pragma once

#include <string>
#include <variant>

namespace varlin::metadata_pipe {

// Why a request got no properties: a request the server refuses, or an IBM i that did not answer.
struct MetadataError {
  struct Invalid {
    std::string message;
    friend bool operator==(const Invalid&, const Invalid&) = default;
  };
  struct ConnectionLost {
    friend bool operator==(const ConnectionLost&, const ConnectionLost&) = default;
  };

  std::variant<Invalid, ConnectionLost> reason;

  friend bool operator==(const MetadataError&, const MetadataError&) = default;
};

}  // namespace varlin::metadata_pipe
