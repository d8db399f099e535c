#pragma once

#include <string>
#include <variant>

namespace varlin::metadata_pipe {

// Why a request got no properties: a request the server refuses, an IBM i that did not answer, or one
// that answered with a refusal to describe the object.
struct MetadataError {
  struct Invalid {
    std::string message;
    friend bool operator==(const Invalid&, const Invalid&) = default;
  };
  struct ConnectionLost {
    friend bool operator==(const ConnectionLost&, const ConnectionLost&) = default;
  };
  struct DescriptionRefused {
    std::string message;
    friend bool operator==(const DescriptionRefused&, const DescriptionRefused&) = default;
  };

  std::variant<Invalid, ConnectionLost, DescriptionRefused> reason;

  friend bool operator==(const MetadataError&, const MetadataError&) = default;
};

}  // namespace varlin::metadata_pipe
