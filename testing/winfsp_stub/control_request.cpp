#include "control_request.hpp"

#include <fmt/format.h>

#include <charconv>

namespace winfsp_stub {

std::u16string control_pipe_name(std::u16string_view mount_point) {
  std::u16string name = u"\\\\.\\pipe\\winfsp-stub.";
  for (const char16_t unit : mount_point) name.push_back(unit == u'\\' ? u'/' : unit);
  return name;
}

std::string request_line(std::span<const std::string> words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line.push_back('\t');
    line += word;
  }
  line.push_back('\n');
  return line;
}

std::vector<std::string> split_request_line(std::string_view line) {
  std::vector<std::string> words;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find('\t', start);
    words.emplace_back(line.substr(start, end - start));
    if (end == std::string_view::npos) return words;
    start = end + 1;
  }
}

bool carries_payload(std::string_view command) {
  return command == "write" || command == "hold";
}

std::expected<std::size_t, std::string> payload_size(std::span<const std::string> words) {
  if (words.empty() || !carries_payload(words.front())) return 0;
  if (words.size() != 3)
    return std::unexpected(fmt::format("{} takes a path and a byte count", words.front()));
  const std::string& count = words.back();
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), size);
  if (error != std::errc() || end != count.data() + count.size() || size > kMaxPayload)
    return std::unexpected(fmt::format("invalid byte count {}", count));
  return size;
}

std::string ok_reply(std::string_view output) {
  return fmt::format("OK\n{}", output);
}

std::string error_reply(varlin::winfsp::NtStatus status, std::string_view step) {
  return fmt::format("ERROR 0x{:08X} {}\n", static_cast<std::uint32_t>(status), step);
}

}  // namespace winfsp_stub
