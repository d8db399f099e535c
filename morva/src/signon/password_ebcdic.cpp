#include "signon/password_ebcdic.hpp"

#include <utility>

namespace morva::signon {
namespace {

constexpr std::pair<char32_t, std::uint8_t> kSymbols[] = {
    {U'!', 0x5A},   {U'"', 0x7F},   {U'%', 0x6C},   {U'&', 0x50},   {U'\'', 0x7D},  {U'(', 0x4D},
    {U')', 0x5D},   {U'*', 0x5C},   {U'+', 0x4E},   {U',', 0x6B},   {U'-', 0x60},   {U'.', 0x4B},
    {U'/', 0x61},   {U':', 0x7A},   {U';', 0x5E},   {U'<', 0x4C},   {U'=', 0x7E},   {U'>', 0x6E},
    {U'?', 0x6F},   {U'_', 0x6D},   {U'#', 0x7B},   {0x00A3, 0x7B}, {0x00C4, 0x7B}, {0x00C6, 0x7B},
    {0x00D1, 0x7B}, {U'$', 0x5B},   {0x00A5, 0x5B}, {0x00C5, 0x5B}, {0x0130, 0x5B}, {U'@', 0x7C},
    {0x00A7, 0x7C}, {0x00C0, 0x7C}, {0x00D0, 0x7C}, {0x00D6, 0x7C}, {0x00D8, 0x7C}, {0x015E, 0x7C},
};

}  // namespace

std::optional<std::uint8_t> level0_ebcdic_byte(char32_t upper) {
  if (upper >= U'A' && upper <= U'I') return static_cast<std::uint8_t>(0xC1 + (upper - U'A'));
  if (upper >= U'J' && upper <= U'R') return static_cast<std::uint8_t>(0xD1 + (upper - U'J'));
  if (upper >= U'S' && upper <= U'Z') return static_cast<std::uint8_t>(0xE2 + (upper - U'S'));
  if (upper >= U'0' && upper <= U'9') return static_cast<std::uint8_t>(0xF0 + (upper - U'0'));
  for (const auto& [character, byte] : kSymbols) {
    if (character == upper) return byte;
  }
  return std::nullopt;
}

}  // namespace morva::signon
