#pragma once

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <string>
#include <vector>

// Collects the diagnostic events (message and fields, without line ends) of the level `lowest` and
// above while it lives; the last 64 are kept.
class CapturedEvents {
 public:
  explicit CapturedEvents(spdlog::level::level_enum lowest = spdlog::level::debug)
      : previous_(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("captured", sink_);
    logger->set_formatter(
        std::make_unique<spdlog::pattern_formatter>("%v", spdlog::pattern_time_type::utc, ""));
    logger->set_level(lowest);
    spdlog::set_default_logger(logger);
  }
  CapturedEvents(const CapturedEvents&) = delete;
  CapturedEvents& operator=(const CapturedEvents&) = delete;
  ~CapturedEvents() { spdlog::set_default_logger(previous_); }

  std::vector<std::string> lines() const { return sink_->last_formatted(); }

 private:
  std::shared_ptr<spdlog::logger> previous_;
  std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> sink_ =
      std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(64);
};
