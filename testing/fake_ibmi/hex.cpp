#include "fake_ibmi/hex.hpp"

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

namespace fake_ibmi {
namespace {

constexpr std::size_t kLineWidth = 16;

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '|';
}

bool lines_equal(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::size_t offset) {
  const auto line = [offset](std::span<const std::uint8_t> bytes) {
    if (offset >= bytes.size()) return std::span<const std::uint8_t>{};
    return bytes.subspan(offset, std::min(kLineWidth, bytes.size() - offset));
  };
  return std::ranges::equal(line(a), line(b));
}

void dump(std::string& out, std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> other) {
  for (std::size_t offset = 0; offset < bytes.size(); offset += kLineWidth) {
    const auto line = bytes.subspan(offset, std::min(kLineWidth, bytes.size() - offset));
    out +=
        fmt::format("{} {:04X}: {}\n", lines_equal(bytes, other, offset) ? ' ' : '*', offset, to_hex(line));
  }
}

}  // namespace

Bytes from_hex(std::string_view text) {
  Bytes bytes;
  int high = -1;
  for (const char c : text) {
    if (is_separator(c)) continue;
    const int value = digit_value(c);
    if (value < 0) throw std::invalid_argument(fmt::format("not a hex digit: '{}' in \"{}\"", c, text));
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument(fmt::format("odd number of hex digits in \"{}\"", text));
  return bytes;
}

std::string to_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (const std::uint8_t byte : bytes) {
    if (!out.empty()) out += ' ';
    out += fmt::format("{:02X}", byte);
  }
  return out;
}

std::size_t first_difference(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual) {
  const auto [at, unused] = std::ranges::mismatch(expected, actual);
  return static_cast<std::size_t>(at - expected.begin());
}

std::string hex_diff(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual) {
  std::string out = fmt::format("expected ({} bytes):\n", expected.size());
  dump(out, expected, actual);
  out += fmt::format("received ({} bytes):\n", actual.size());
  dump(out, actual, expected);
  return out;
}

}  // namespace fake_ibmi
