#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace varlin::metadata_pipe {

inline constexpr std::uint32_t kProtocolVersion = 1;
inline constexpr std::string_view kConnectionLostMessage =
    "IBM i metadata is not available; the connection was lost";

// The IBM i metadata of a file: a source member or a typed object.
struct FileProperties {
  struct Member {
    std::string path{};
    std::string library{};
    std::string source_file{};
    std::string member{};
    std::string source_type{};
    std::uint16_t ccsid = 0;
    std::uint64_t record_length = 0;
    std::string description{};

    friend bool operator==(const Member&, const Member&) = default;
  };

  struct Object {
    std::string path{};
    std::string library{};
    std::string object{};
    std::string object_type{};
    std::string attribute{};
    std::string owner{};
    std::uint32_t asp = 0;
    std::string created{};
    std::string changed{};
    std::string description{};
    std::optional<std::string> source_file{};
    std::optional<std::string> source_library{};
    std::optional<std::string> source_member{};

    friend bool operator==(const Object&, const Object&) = default;
  };

  std::variant<Member, Object> shape;

  friend bool operator==(const FileProperties&, const FileProperties&) = default;
};

struct MetadataResult {
  std::string path;
  FileProperties properties;

  friend bool operator==(const MetadataResult&, const MetadataResult&) = default;
};

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

// The reply to a request whose metadata could not be fetched from the IBM i.
MetadataResponse connection_lost_response(std::uint32_t mount_id);

// Append the compact JSON text of the value to out; absent fields are left out.
void write_response(const MetadataResponse& response, std::string& out);
void write_result(const MetadataResult& result, std::string& out);
void write_properties(const FileProperties& properties, std::string& out);

}  // namespace varlin::metadata_pipe
