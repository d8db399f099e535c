#include "main/exchange_time_limit.hpp"

#include "morva/server/time_limit.hpp"

namespace varlin {

std::chrono::milliseconds exchange_time_limit() {
  return morva::server::kExchangeTimeLimit;
}

}  // namespace varlin
