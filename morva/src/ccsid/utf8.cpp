#include "morva/ccsid/utf8.hpp"

#include <algorithm>

#include "morva/ccsid/unicode_tables.hpp"

namespace morva::ccsid {
namespace {

struct LeadRule {
  std::size_t continuations;
  std::uint8_t second_low;  // the first continuation byte has a narrower range after some leads
  std::uint8_t second_high;
  char32_t payload;
};

constexpr std::uint8_t kContinuationLow = 0x80;
constexpr std::uint8_t kContinuationHigh = 0xBF;

constexpr bool lead_rule(std::uint8_t lead, LeadRule& rule) noexcept {
  if (lead >= 0xC2 && lead <= 0xDF) {
    rule = {1, kContinuationLow, kContinuationHigh, char32_t{lead} & 0x1F};
  } else if (lead == 0xE0) {
    rule = {2, 0xA0, kContinuationHigh, 0};
  } else if (lead == 0xED) {
    rule = {2, kContinuationLow, 0x9F, 0xD};  // no surrogates
  } else if (lead >= 0xE1 && lead <= 0xEF) {
    rule = {2, kContinuationLow, kContinuationHigh, char32_t{lead} & 0x0F};
  } else if (lead == 0xF0) {
    rule = {3, 0x90, kContinuationHigh, 0};
  } else if (lead >= 0xF1 && lead <= 0xF3) {
    rule = {3, kContinuationLow, kContinuationHigh, char32_t{lead} & 0x07};
  } else if (lead == 0xF4) {
    rule = {3, kContinuationLow, 0x8F, 4};  // nothing above U+10FFFF
  } else {
    return false;
  }
  return true;
}

}  // namespace

Utf8Step read_utf8(std::string_view bytes, std::size_t index) noexcept {
  const auto lead = static_cast<std::uint8_t>(bytes[index]);
  if (lead < 0x80) return {Utf8Step::Kind::character, lead, 1};
  LeadRule rule{};
  if (!lead_rule(lead, rule)) return {Utf8Step::Kind::invalid, 0, 1};
  char32_t code_point = rule.payload;
  for (std::size_t k = 1; k <= rule.continuations; ++k) {
    if (index + k >= bytes.size()) return {Utf8Step::Kind::incomplete, 0, k};
    const auto byte = static_cast<std::uint8_t>(bytes[index + k]);
    const std::uint8_t low = k == 1 ? rule.second_low : kContinuationLow;
    const std::uint8_t high = k == 1 ? rule.second_high : kContinuationHigh;
    if (byte < low || byte > high) return {Utf8Step::Kind::invalid, 0, k};
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  return {Utf8Step::Kind::character, code_point, rule.continuations + 1};
}

bool is_valid_utf8(std::string_view text) noexcept {
  for (std::size_t index = 0; index < text.size();) {
    const Utf8Step step = read_utf8(text, index);
    if (step.kind != Utf8Step::Kind::character) return false;
    index += step.length;
  }
  return true;
}

std::string_view trim_white_space(std::string_view text) noexcept {
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t index = 0; index < text.size();) {
    const Utf8Step step = read_utf8(text, index);
    if (step.kind != Utf8Step::Kind::character || !is_white_space(step.code_point)) {
      begin = std::min(begin, index);
      end = index + step.length;
    }
    index += step.length;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view{};
}

}  // namespace morva::ccsid
