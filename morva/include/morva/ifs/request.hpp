#pragma once

#include "morva/secret.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace morva::ifs {

// Datastream levels from this one on carry offsets and sizes as 64-bit fields.
inline constexpr std::uint16_t kLargeFileLevel = 16;

struct ExchangeSeeds {
  std::uint64_t client_seed;
};

struct StartServer {
  Secret substitute;
  std::array<std::uint8_t, 10> user_profile;
};

struct ExchangeAttributes {};

struct ListAttributes {
  std::string pattern;
  std::uint16_t name_ccsid;
};

struct ListObjectAttributes {
  std::uint32_t file_handle;
};

struct OpenFile {
  std::string name;
  std::uint16_t name_ccsid;
  std::uint16_t datastream_level;
};

struct OpenFileForWrite {
  std::string name;
  std::uint16_t name_ccsid;
  std::uint16_t datastream_level;
  std::uint16_t open_option;
};

struct ReadFile {
  std::uint32_t file_handle;
  std::uint64_t offset;
  std::uint32_t length;
  std::uint16_t datastream_level;
};

struct CloseFile {
  std::uint32_t file_handle;
};

struct WriteFile {
  std::uint32_t file_handle;
  std::uint64_t offset;
  std::vector<std::uint8_t> data;
  std::uint16_t datastream_level;
};

struct Truncate {
  std::string name;
  std::uint16_t name_ccsid;
  std::uint64_t size;
  std::uint16_t datastream_level;
};

struct CreateDirectory {
  std::string name;
  std::uint16_t name_ccsid;
};

struct DeleteFile {
  std::string name;
  std::uint16_t name_ccsid;
};

struct DeleteDirectory {
  std::string name;
  std::uint16_t name_ccsid;
};

struct Rename {
  std::string source;
  std::string target;
  std::uint16_t name_ccsid;
  bool replace;
};

// One file-service request. Names travel as UTF-16 big-endian whatever CCSID is stamped beside them.
class IfsRequest {
 public:
  using Kind = std::variant<ExchangeSeeds, StartServer, ExchangeAttributes, ListAttributes,
                            ListObjectAttributes, OpenFile, OpenFileForWrite, ReadFile, CloseFile, WriteFile,
                            Truncate, CreateDirectory, DeleteFile, DeleteDirectory, Rename>;

  template <typename K>
  requires std::is_constructible_v<Kind, K&&> IfsRequest(K&& kind) : kind_(std::forward<K>(kind)) {}

  // The name of the request in diagnostic events.
  std::string_view trace_name() const;
  // Only the start-server request is: it carries the password substitute.
  bool sensitive() const { return std::holds_alternative<StartServer>(kind_); }
  // The packet, in one buffer of exactly its length.
  std::vector<std::uint8_t> encode() const;

 private:
  Kind kind_;
};

}  // namespace morva::ifs
