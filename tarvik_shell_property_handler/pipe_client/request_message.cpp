#include "pipe_client/request_message.hpp"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

namespace tarvik {

namespace {

constexpr std::string_view kMethod = "getFileProperties";

}  // namespace

std::string request_message(std::string_view relative_path) {
  nlohmann::ordered_json request;
  request["version"] = kProtocolVersion;
  request["method"] = kMethod;
  request["path"] = relative_path;
  std::string message = request.dump();
  message.push_back('\n');
  return message;
}

std::string metadata_pipe_name(std::uint32_t mount_id) {
  return fmt::format(R"(\\.\pipe\VARLIN.Metadata.{:08X})", mount_id);
}

}  // namespace tarvik
