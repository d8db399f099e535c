#include "main/logging/diagnostic_logging.hpp"

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>

#include "main/logging/log_line.hpp"
#include "morva/ccsid/utf8.hpp"

namespace varlin {

namespace {

class TextWriterSink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  explicit TextWriterSink(TextWriter write) : write_(std::move(write)) {}

 private:
  void sink_it_(const spdlog::details::log_msg& message) override {
    spdlog::memory_buf_t line;
    formatter_->format(message, line);
    static_cast<void>(write_({line.data(), line.size()}));
  }
  void flush_() override {}

  TextWriter write_;
};

}  // namespace

bool log_colours_wanted(const EnvironmentLookup& environment) {
  const std::optional<std::string> no_color = environment("NO_COLOR");
  return !no_color || no_color->empty() || !morva::ccsid::is_valid_utf8(*no_color);
}

void install_diagnostic_logging(std::shared_ptr<spdlog::sinks::sink> sink, bool colours) {
  auto logger = std::make_shared<spdlog::logger>("varlin", std::move(sink));
  logger->set_formatter(std::make_unique<LogLineFormatter>(colours));
  logger->set_level(spdlog::level::debug);
  logger->flush_on(spdlog::level::debug);
  spdlog::set_default_logger(std::move(logger));
}

void install_diagnostic_logging(TextWriter write, bool colours) {
  install_diagnostic_logging(std::make_shared<TextWriterSink>(std::move(write)), colours);
}

void silence_diagnostic_logging() {
  auto logger = std::make_shared<spdlog::logger>("varlin");
  logger->set_level(spdlog::level::off);
  spdlog::set_default_logger(std::move(logger));
}

}  // namespace varlin
