#include "filesystem/windows_name.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "morva/server/path_text.hpp"
#include "shared/path_text.hpp"

namespace varlin::filesystem {

namespace {

constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
// Each followed by a digit, or by a superscript one (in UTF-8).
constexpr std::array<std::string_view, 2> kPorts = {"COM", "LPT"};
constexpr std::array<std::string_view, 3> kSuperscriptDigits = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

bool is_port_number(std::string_view number) {
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') ||
         std::ranges::find(kSuperscriptDigits, number) != kSuperscriptDigits.end();
}

// Windows reads "CON", "con.txt" and "CON .txt" alike as the console.
bool is_device_name(std::string_view name) {
  std::string_view word = name.substr(0, name.find('.'));
  while (word.ends_with(' ')) word.remove_suffix(1);
  const auto is_word = [word](std::string_view device) {
    return morva::server::equals_ignore_ascii_case(word, device);
  };
  const auto is_port = [word](std::string_view port) {
    const auto number = strip_prefix_ignore_ascii_case(word, port);
    return number && is_port_number(*number);
  };
  return std::ranges::any_of(kDevices, is_word) || std::ranges::any_of(kPorts, is_port);
}

bool is_forbidden(char character) {
  return static_cast<unsigned char>(character) < 0x20 || std::string_view("<>:\"/\\|?*").contains(character);
}

}  // namespace

std::string windows_name(std::string_view name) {
  const bool device = is_device_name(name);
  std::string spelled;
  for (std::size_t at = 0; at < name.size(); ++at) {
    const char character = name[at];
    const bool last = at + 1 == name.size();
    if (is_forbidden(character) || (at == 0 && device) || (last && (character == '.' || character == ' ')))
      spelled += fmt::format("%{:02X}", static_cast<unsigned char>(character));
    else
      spelled += character;
  }
  return spelled;
}

}  // namespace varlin::filesystem
