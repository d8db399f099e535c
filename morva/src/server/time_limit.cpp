#include "morva/server/time_limit.hpp"

#include <fmt/format.h>

namespace morva::server {

Error timed_out(std::string_view operation, const TimeLimit& limit) {
  return Error::io(IoErrorKind::timed_out, fmt::format("timed out {} {}", operation, limit.server));
}

}  // namespace morva::server
