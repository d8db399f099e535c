#include <cstdlib>
#include <string>

#include "shared/environment.hpp"

namespace varlin {

std::optional<std::string> process_environment_value(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace varlin
