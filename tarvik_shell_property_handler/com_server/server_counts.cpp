#include "com_server/server_counts.hpp"

namespace tarvik {

std::atomic<std::uint32_t> OBJECT_COUNT = 0;
std::atomic<std::uint32_t> LOCK_COUNT = 0;
std::atomic<std::uint32_t> WEAK_RECORD_COUNT = 0;

void lock_server(bool lock) {
  if (lock) {
    ++LOCK_COUNT;
    return;
  }
  std::uint32_t count = LOCK_COUNT.load();
  while (count > 0 && !LOCK_COUNT.compare_exchange_weak(count, count - 1)) {
  }
}

bool server_in_use() {
  return OBJECT_COUNT.load() != 0 || LOCK_COUNT.load() != 0 || WEAK_RECORD_COUNT.load() != 0;
}

}  // namespace tarvik
