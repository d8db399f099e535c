#pragma once

#include <spdlog/formatter.h>

#include <memory>

namespace varlin {

// Writes each diagnostic event as one line: the UTC time in RFC 3339 with microseconds, the level
// right-aligned in five columns, the message with its name=value fields. With colours the time is
// dimmed and the level coloured by ANSI escapes.
class LogLineFormatter final : public spdlog::formatter {
 public:
  explicit LogLineFormatter(bool colours) : colours_(colours) {}

  void format(const spdlog::details::log_msg& message, spdlog::memory_buf_t& out) override;
  std::unique_ptr<spdlog::formatter> clone() const override;

 private:
  bool colours_;
};

}  // namespace varlin
