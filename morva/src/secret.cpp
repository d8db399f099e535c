#include "morva/secret.hpp"

#include <atomic>

namespace morva {

void wipe(void* data, std::size_t size) noexcept {
  auto* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace morva
