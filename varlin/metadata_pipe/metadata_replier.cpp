#include "metadata_pipe/metadata_replier.hpp"

#include "metadata_pipe/pipe_name.hpp"

namespace varlin::metadata_pipe {

namespace {

constexpr std::size_t kReplyCapacity = 128;

}  // namespace

MetadataReplier::MetadataReplier(std::uint32_t mount_id, PropertiesLookup lookup)
    : mount_id_(mount_id), lookup_(std::move(lookup)) {}

MetadataResponse MetadataReplier::invalid_request(std::string message) const {
  return MetadataResponse{.version = kProtocolVersion,
                          .mount_id = mount_id_text(mount_id_),
                          .ok = false,
                          .result = std::nullopt,
                          .code = ResponseCode::invalid_request,
                          .error = std::move(message)};
}

asio::awaitable<std::string> MetadataReplier::reply(morva::Result<std::string> request) {
  MetadataResponse response;
  if (!request) {
    response = invalid_request(request.error().text());
  } else if (auto found = co_await lookup_(std::move(*request)); found) {
    response = MetadataResponse{.version = kProtocolVersion,
                                .mount_id = mount_id_text(mount_id_),
                                .ok = true,
                                .result = std::move(*found),
                                .code = std::nullopt,
                                .error = std::nullopt};
  } else if (auto* invalid = std::get_if<MetadataError::Invalid>(&found.error().reason)) {
    response = invalid_request(std::move(invalid->message));
  } else if (auto* refused = std::get_if<MetadataError::DescriptionRefused>(&found.error().reason)) {
    response = connection_lost_response(mount_id_, std::move(refused->message));
  } else {
    response = connection_lost_response(mount_id_);
  }
  std::string line;
  line.reserve(kReplyCapacity);
  write_response(response, line);
  co_return line;
}

}  // namespace varlin::metadata_pipe
