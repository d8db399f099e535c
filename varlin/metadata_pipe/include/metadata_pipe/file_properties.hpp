#pragma once

#include <asio/awaitable.hpp>

#include <expected>
#include <string>

#include "metadata_pipe/metadata_error.hpp"
#include "metadata_pipe/pipe_state.hpp"
#include "shared/metadata_result.hpp"

namespace varlin::metadata_pipe {

// Answers one request line (its line feed may still be on it) with the IBM i properties of the source
// member or typed object it names: from the metadata cache while it holds a fresh answer, else from
// the IBM i, and then stored in the cache.
asio::awaitable<std::expected<MetadataResult, MetadataError>> get_file_properties(std::string request_line,
                                                                                  PipeState state);

}  // namespace varlin::metadata_pipe
