#pragma once

#include <asio/awaitable.hpp>

#include <cstdint>
#include <expected>
#include <functional>
#include <string>

#include "metadata_pipe/metadata_error.hpp"
#include "metadata_pipe/request_handler.hpp"
#include "metadata_pipe/response.hpp"

namespace varlin::metadata_pipe {

// Answers a request line with the file's properties.
using PropertiesLookup =
    std::function<asio::awaitable<std::expected<MetadataResult, MetadataError>>(std::string request_line)>;

// Turns a connection's request into the mount's reply line: a request that could not be read and a
// refused request become "invalidRequest", an IBM i failure "connectionLost", with a message that
// tells a refused description from a lost connection.
class MetadataReplier final : public RequestHandler {
 public:
  MetadataReplier(std::uint32_t mount_id, PropertiesLookup lookup);

  asio::awaitable<std::string> reply(morva::Result<std::string> request) override;

 private:
  MetadataResponse invalid_request(std::string message) const;

  std::uint32_t mount_id_;
  PropertiesLookup lookup_;
};

}  // namespace varlin::metadata_pipe
