#include "morva/ccsid/server_job_name.hpp"

#include <array>
#include <string_view>

namespace morva::ccsid {
namespace {

constexpr std::array<char, 256> kJobNameMap = [] {
  std::array<char, 256> map{};
  map.fill('.');
  const auto run = [&](std::uint8_t first, std::string_view characters) {
    for (std::size_t i = 0; i < characters.size(); ++i) map[first + i] = characters[i];
  };
  run(0x81, "abcdefghi");
  run(0x91, "jklmnopqr");
  run(0xA2, "stuvwxyz");
  run(0xC1, "ABCDEFGHI");
  run(0xD1, "JKLMNOPQR");
  run(0xE2, "STUVWXYZ");
  run(0xF0, "0123456789");
  run(0x40, " ");
  run(0x4B, ".");
  run(0x4D, "(+");
  run(0x50, "&");
  run(0x5A, "!$");
  run(0x5D, ")");
  run(0x60, "-/");
  run(0x6B, ",");
  run(0x6D, "_");
  run(0x6F, "?");
  run(0x7A, ":#@'=\"");
  return map;
}();

}  // namespace

std::string decode_server_job_name(std::span<const std::uint8_t> bytes) {
  std::string name(bytes.size(), ' ');
  for (std::size_t i = 0; i < bytes.size(); ++i) name[i] = kJobNameMap[bytes[i]];
  return name;
}

}  // namespace morva::ccsid
