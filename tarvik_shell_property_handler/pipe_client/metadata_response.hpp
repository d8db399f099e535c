#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// The fields of a member's or object's properties that the Shell shows; the reply's other keys are
// passed over.
struct FileProperties {
  std::optional<std::string> path{};
  std::optional<std::string> library{};
  std::optional<std::string> source_file{};
  std::optional<std::string> member{};
  std::optional<std::string> source_type{};
  std::optional<std::uint32_t> ccsid{};
  std::optional<std::uint32_t> record_length{};
  std::optional<std::string> description{};

  bool operator==(const FileProperties&) const = default;
};

struct MetadataResult {
  std::string path;
  FileProperties properties;

  bool operator==(const MetadataResult&) const = default;
};

// A reply line as this client reads it: the key "error" and unknown keys are passed over.
struct MetadataResponse {
  std::uint32_t version = 0;
  std::string mount_id;
  bool ok = false;
  std::optional<MetadataResult> result;
  std::optional<std::string> code{};
};

// The reply's line: the bytes before the first line feed, or all of them when there is none.
std::string_view reply_line(std::string_view bytes);

// Reads the reply as a JSON object (keys in any order) or a JSON array of every field in order. Nothing
// when it is not such a text, a key occurs twice, a required field is missing, a field has the wrong
// type (null stands for an absent optional field) or a number is outside the unsigned 32-bit range.
std::optional<MetadataResponse> read_metadata_response(std::string_view line);

// The reply's mountId as a number: hexadecimal digits after any number of leading "0x" and an
// optional '+'.
std::optional<std::uint32_t> parse_mount_id(std::string_view text);

}  // namespace tarvik
