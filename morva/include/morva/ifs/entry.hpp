#pragma once

#include "morva/command/receivers.hpp"
#include "morva/error.hpp"
#include "morva/ifs/packet.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace morva::ifs {

// A listed source member's metadata, attached to its entry by the directory listing.
struct SourceMemberInfo {
  std::string library;
  std::string source_file;
  std::string member;
  std::string source_type;
  std::string description;
  std::uint64_t record_length;
  std::uint16_t ccsid;
};

// The entry kind of a directory; every other kind is a file.
inline constexpr std::uint16_t kDirectoryKind = 1;

// One directory entry as the file server reports it; the parser fills only what the reply holds.
struct IfsEntry {
  std::string name{};
  std::optional<std::string> source_type{};
  std::optional<std::string> member{};
  std::optional<std::string> description{};
  std::uint64_t size = 0;
  std::uint32_t modified = 0;  // seconds since 1970-01-01 UTC
  std::optional<SourceMemberInfo> member_info{};
  std::optional<command::ObjectDescription> object{};
  std::optional<std::uint16_t> ccsid{};
  std::uint16_t kind = 0;
  std::uint16_t object_type = 0;

  static Result<IfsEntry> parse(Packet packet, std::uint16_t datastream_level);
};

// The CCSID of an object-attributes reply, when it carries one.
Result<std::optional<std::uint16_t>> parse_object_ccsid(Packet packet);

}  // namespace morva::ifs
