#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace varlin::metadata_pipe {

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

}  // namespace varlin::metadata_pipe
