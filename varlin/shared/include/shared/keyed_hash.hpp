#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace varlin::filesystem {

// SipHash-1-3 of the bytes under the 128-bit key (k0, k1).
std::uint64_t siphash13(std::uint64_t k0, std::uint64_t k1, std::span<const std::uint8_t> bytes);

// A hash for the caches' maps, keyed at random per map so that names chosen on the server cannot
// make a map degrade. Transparent, so a lookup takes a string_view.
class RandomlyKeyedHash {
 public:
  using is_transparent = void;

  RandomlyKeyedHash();

  std::size_t operator()(std::string_view text) const;

 private:
  std::uint64_t k0_;
  std::uint64_t k1_;
};

}  // namespace varlin::filesystem
