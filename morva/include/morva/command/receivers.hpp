#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <span>
#include <string>

// Records read from the receiver variables of the IBM i APIs that the remote-command connection
// calls. Each `parse` takes the whole call-program reply packet; text fields are decoded in the
// connection's CCSID and trimmed.
namespace morva::command {

// QUSRMBRD, format MBRD0100.
struct MemberDescription {
  std::string member;
  std::string source_type;
  std::string description;

  static Result<MemberDescription> parse(std::span<const std::uint8_t> packet, std::uint16_t ccsid);
};

// QDBRTVFD, format FILD0100, of a source physical file.
struct FileDescription {
  std::uint16_t record_length = 0;

  static Result<FileDescription> parse(std::span<const std::uint8_t> packet);
};

// QUSROBJD, format OBJD0200.
struct ObjectDescription {
  std::string object;
  std::string library;
  std::string object_type;  // without its leading '*'
  std::string attribute;
  std::string owner;
  std::uint32_t asp = 0;
  std::string created;  // date and time as the IBM i writes them (13 characters)
  std::string changed;
  std::string description;
  std::string source_file;  // the three source fields are empty when the object has no source
  std::string source_library;
  std::string source_member;

  static Result<ObjectDescription> parse(std::span<const std::uint8_t> packet, std::uint16_t ccsid);
};

// QWCRSSTS, format SSTS0200.
struct SystemStorage {
  std::uint32_t system_asp = 0;               // millions of bytes
  std::uint32_t system_asp_used = 0;          // millionths of the system ASP
  std::uint32_t total_auxiliary_storage = 0;  // millions of bytes

  static Result<SystemStorage> parse(std::span<const std::uint8_t> packet);
};

}  // namespace morva::command
