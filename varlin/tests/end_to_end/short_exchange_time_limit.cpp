// The exchange time limit of the copy of varlin.exe that the end-to-end tests run against an IBM i
// that stops answering: short, so that they need not wait the real limit.
#include "main/exchange_time_limit.hpp"

namespace varlin {

std::chrono::milliseconds exchange_time_limit() {
  return std::chrono::seconds(2);
}

}  // namespace varlin
