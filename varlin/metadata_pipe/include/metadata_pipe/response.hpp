#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shared/metadata_result.hpp"

namespace varlin::metadata_pipe {

inline constexpr std::uint32_t kProtocolVersion = 1;
inline constexpr std::string_view kConnectionLostMessage =
    "IBM i metadata is not available; the connection was lost";

enum class ResponseCode { invalid_request, connection_lost };

// The reply line: result when ok, code and error when not.
struct MetadataResponse {
  std::uint32_t version = kProtocolVersion;
  std::string mount_id;
  bool ok = false;
  std::optional<MetadataResult> result;
  std::optional<ResponseCode> code;
  std::optional<std::string> error;

  friend bool operator==(const MetadataResponse&, const MetadataResponse&) = default;
};

std::string_view response_code_text(ResponseCode code);

// The reply to a request whose metadata could not be fetched from the IBM i. Its code is the same
// whatever the message, so a client does not repeat the request.
MetadataResponse connection_lost_response(std::uint32_t mount_id,
                                          std::string message = std::string(kConnectionLostMessage));

// Append the compact JSON text of the value to out; absent fields are left out.
void write_response(const MetadataResponse& response, std::string& out);
void write_result(const MetadataResult& result, std::string& out);
void write_properties(const FileProperties& properties, std::string& out);

}  // namespace varlin::metadata_pipe
