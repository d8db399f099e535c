#pragma once

#include <cstdint>
#include <span>

#include "morva/secret.hpp"

namespace morva {

// Zeroes a buffer that is not a secret type when the scope ends, however it ends.
class WipeOnExit {
 public:
  explicit WipeOnExit(std::span<std::uint8_t> bytes) noexcept : bytes_(bytes) {}
  ~WipeOnExit() { wipe(bytes_.data(), bytes_.size()); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  std::span<std::uint8_t> bytes_;
};

}  // namespace morva
