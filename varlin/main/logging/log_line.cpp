#include "main/logging/log_line.hpp"

#include <fmt/format.h>

#include <chrono>
#include <iterator>
#include <string_view>

namespace varlin {

namespace {

constexpr std::string_view kDim = "\x1b[2m";
constexpr std::string_view kReset = "\x1b[0m";

struct LevelStyle {
  std::string_view text;
  std::string_view colour;
};

LevelStyle style_of(spdlog::level::level_enum level) {
  switch (level) {
    case spdlog::level::trace: return {"TRACE", "\x1b[35m"};
    case spdlog::level::debug: return {"DEBUG", "\x1b[34m"};
    case spdlog::level::info: return {" INFO", "\x1b[32m"};
    case spdlog::level::warn: return {" WARN", "\x1b[33m"};
    default: return {"ERROR", "\x1b[31m"};
  }
}

// 2024-05-01T08:09:10.123456Z
void append_utc_time(std::chrono::system_clock::time_point time, spdlog::memory_buf_t& out) {
  using namespace std::chrono;
  const auto micros = floor<microseconds>(time);
  const auto day = floor<days>(micros);
  const year_month_day date(day);
  const hh_mm_ss clock(micros - day);
  fmt::format_to(std::back_inserter(out), "{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:06}Z", int{date.year()},
                 unsigned{date.month()}, unsigned{date.day()}, clock.hours().count(), clock.minutes().count(),
                 clock.seconds().count(), clock.subseconds().count());
}

void append(std::string_view text, spdlog::memory_buf_t& out) {
  out.append(text.data(), text.data() + text.size());
}

}  // namespace

void LogLineFormatter::format(const spdlog::details::log_msg& message, spdlog::memory_buf_t& out) {
  const LevelStyle level = style_of(message.level);
  if (colours_) append(kDim, out);
  append_utc_time(message.time, out);
  if (colours_) append(kReset, out);
  out.push_back(' ');
  if (colours_) append(level.colour, out);
  append(level.text, out);
  if (colours_) append(kReset, out);
  out.push_back(' ');
  append(std::string_view(message.payload.data(), message.payload.size()), out);
  out.push_back('\n');
}

std::unique_ptr<spdlog::formatter> LogLineFormatter::clone() const {
  return std::make_unique<LogLineFormatter>(colours_);
}

}  // namespace varlin
