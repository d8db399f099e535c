#pragma once

#include <fmt/format.h>
#include <spdlog/common.h>

#include <initializer_list>
#include <string>
#include <string_view>

// Diagnostic events: a message and name=value fields, written through spdlog's default logger (which
// the program sets up only when asked to log). The target names the module an event belongs to; it
// selects nothing today and is not printed, but keeps each call site's origin explicit.
namespace morva::log {

struct Field {
  template <typename T>
  Field(std::string_view field_name, const T& field_value)
      : name(field_name), value(fmt::format("{}", field_value)) {}

  std::string_view name;
  std::string value;
};

bool enabled(spdlog::level::level_enum level);
void event(spdlog::level::level_enum level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields = {});

inline void debug(std::string_view target, std::string_view message,
                  std::initializer_list<Field> fields = {}) {
  event(spdlog::level::debug, target, message, fields);
}
inline void info(std::string_view target, std::string_view message,
                 std::initializer_list<Field> fields = {}) {
  event(spdlog::level::info, target, message, fields);
}
inline void warn(std::string_view target, std::string_view message,
                 std::initializer_list<Field> fields = {}) {
  event(spdlog::level::warn, target, message, fields);
}
inline void error(std::string_view target, std::string_view message,
                  std::initializer_list<Field> fields = {}) {
  event(spdlog::level::err, target, message, fields);
}

}  // namespace morva::log
