#include "metadata_pipe/response.hpp"

#include <utility>

#include "metadata_pipe/pipe_name.hpp"

namespace varlin::metadata_pipe {

std::string_view response_code_text(ResponseCode code) {
  switch (code) {
    case ResponseCode::invalid_request: return "invalidRequest";
    case ResponseCode::connection_lost: return "connectionLost";
  }
  return "invalidRequest";
}

MetadataResponse connection_lost_response(std::uint32_t mount_id, std::string message) {
  return MetadataResponse{
      .version = kProtocolVersion,
      .mount_id = mount_id_text(mount_id),
      .ok = false,
      .result = std::nullopt,
      .code = ResponseCode::connection_lost,
      .error = std::move(message),
  };
}

}  // namespace varlin::metadata_pipe
