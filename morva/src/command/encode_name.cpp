#include "morva/command/program_call.hpp"

#include <algorithm>

namespace morva::command {

namespace {

constexpr std::uint8_t kEbcdicBlank = 0x40;
constexpr std::uint8_t kEbcdicQuestionMark = 0x6F;

std::uint8_t name_byte(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'I') return static_cast<std::uint8_t>(0xC1 + (c - 'A'));
  if (c >= 'J' && c <= 'R') return static_cast<std::uint8_t>(0xD1 + (c - 'J'));
  if (c >= 'S' && c <= 'Z') return static_cast<std::uint8_t>(0xE2 + (c - 'S'));
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(0xF0 + (c - '0'));
  switch (c) {
    case '#': return 0x7B;
    case '$': return 0x5B;
    case '@': return 0x7C;
    case '_': return 0x6D;
    case '*': return 0x5C;
    default: return kEbcdicQuestionMark;
  }
}

}  // namespace

std::vector<std::uint8_t> encode_name(std::string_view text, std::size_t width) {
  std::vector<std::uint8_t> name(width, kEbcdicBlank);
  for (std::size_t i = 0; i < width && i < text.size(); ++i) name[i] = name_byte(text[i]);
  return name;
}

bool is_api_name(std::string_view text, std::size_t width) {
  return !text.empty() && text.size() <= width &&
         std::ranges::none_of(text, [](char c) { return name_byte(c) == kEbcdicQuestionMark; });
}

}  // namespace morva::command
