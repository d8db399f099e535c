#include "main/logging/diagnostic_logging.hpp"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include "main/logging/log_line.hpp"
#include "morva/ccsid/utf8.hpp"

namespace varlin {

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

morva::Result<void> install_diagnostic_logging(bool colours) {
  // On Windows the sink takes standard output's handle, and refuses when there is none.
  try {
    install_diagnostic_logging(std::make_shared<spdlog::sinks::stdout_sink_mt>(), colours);
    return {};
  } catch (const spdlog::spdlog_ex& refused) {
    return std::unexpected(morva::Error::io(morva::IoErrorKind::other, refused.what()));
  }
}

void silence_diagnostic_logging() {
  auto logger = std::make_shared<spdlog::logger>("varlin");
  logger->set_level(spdlog::level::off);
  spdlog::set_default_logger(std::move(logger));
}

}  // namespace varlin
