#include "command/api_parameters.hpp"

#include <fmt/format.h>

namespace morva::command {

namespace {

constexpr std::uint32_t kMemberReceiverLength = 332;
constexpr std::uint32_t kFileReceiverLength = 400;
constexpr std::uint32_t kObjectReceiverLength = 180;
constexpr std::uint32_t kStorageReceiverLength = 144;

ProgramParameter receiver(std::uint32_t length) {
  return {.data = {}, .max_length = length, .usage = kUsageOutput};
}

ProgramParameter receiver_length(std::uint32_t length) {
  return {.data = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                   static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)},
          .max_length = 4,
          .usage = kUsageInput};
}

ProgramParameter name(std::string_view text, std::size_t width) {
  return {.data = encode_name(text, width),
          .max_length = static_cast<std::uint32_t>(width),
          .usage = kUsageInput};
}

// Object name, then its library, 10 bytes each.
ProgramParameter qualified_name(std::string_view object, std::string_view library) {
  ProgramParameter parameter = name(object, kObjectNameWidth);
  const auto library_name = encode_name(library, kObjectNameWidth);
  parameter.data.insert(parameter.data.end(), library_name.begin(), library_name.end());
  parameter.max_length = static_cast<std::uint32_t>(2 * kObjectNameWidth);
  return parameter;
}

ProgramParameter character(std::uint8_t ebcdic) {
  return {.data = {ebcdic}, .max_length = 1, .usage = kUsageInput};
}

ProgramParameter error_code() {
  return {.data = {0, 0, 0, 0}, .max_length = 8, .usage = kUsageInputOutput};
}

constexpr std::uint8_t kEbcdicZero = 0xF0;
constexpr std::uint8_t kEbcdicOne = 0xF1;

}  // namespace

std::vector<ProgramParameter> member_description_parameters(std::string_view library, std::string_view file,
                                                            std::string_view member) {
  return {receiver(kMemberReceiverLength),
          receiver_length(kMemberReceiverLength),
          name("MBRD0100", 8),
          qualified_name(file, library),
          name(member, kObjectNameWidth),
          character(kEbcdicOne),  // process overrides
          error_code()};
}

std::vector<ProgramParameter> file_description_parameters(std::string_view library, std::string_view file) {
  return {receiver(kFileReceiverLength),
          receiver_length(kFileReceiverLength),
          receiver(20),  // qualified name of the file found
          name("FILD0100", 8),
          qualified_name(file, library),
          name("", 10),            // record format: none
          character(kEbcdicZero),  // do not process overrides
          name("*LCL", 10),
          name("*INT", 10),
          error_code()};
}

std::vector<ProgramParameter> object_description_parameters(std::string_view library, std::string_view object,
                                                            std::string_view object_type) {
  return {receiver(kObjectReceiverLength), receiver_length(kObjectReceiverLength),    name("OBJD0200", 8),
          qualified_name(object, library), name(fmt::format("*{}", object_type), 10), error_code()};
}

std::vector<ProgramParameter> system_storage_parameters() {
  return {receiver(kStorageReceiverLength), receiver_length(kStorageReceiverLength), name("SSTS0200", 8),
          name("*NO", 10),  // keep the status statistics
          error_code()};
}

}  // namespace morva::command
