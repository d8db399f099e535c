#include "morva/log.hpp"

#include <spdlog/spdlog.h>

namespace morva::log {

bool enabled(spdlog::level::level_enum level) {
  return spdlog::default_logger_raw()->should_log(level);
}

void event(spdlog::level::level_enum level, std::string_view /*target*/, std::string_view message,
           std::initializer_list<Field> fields) {
  auto* logger = spdlog::default_logger_raw();
  if (!logger->should_log(level)) return;
  std::string line(message);
  for (const Field& field : fields)
    fmt::format_to(std::back_inserter(line), " {}={}", field.name, field.value);
  logger->log(level, line);
}

}  // namespace morva::log
