#include "morva/server/path_text.hpp"

#include <algorithm>

namespace morva::server {
namespace {

char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char raise(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string ascii_lower(std::string_view text) {
  std::string result(text);
  std::ranges::transform(result, result.begin(), fold);
  return result;
}

std::string ascii_upper(std::string_view text) {
  std::string result(text);
  std::ranges::transform(result, result.begin(), raise);
  return result;
}

bool equals_ignore_ascii_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return fold(x) == fold(y); });
}

bool ends_with_ignore_ascii_case(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         equals_ignore_ascii_case(text.substr(text.size() - suffix.size()), suffix);
}

std::vector<std::string_view> path_components(std::string_view path) {
  std::vector<std::string_view> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
    if (end > start) components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

bool is_qsys_root(std::string_view component) {
  return equals_ignore_ascii_case(component, kQsysRoot);
}

bool is_in_qsys(std::string_view path) {
  const auto components = path_components(path);
  return !components.empty() && is_qsys_root(components.front());
}

}  // namespace morva::server
