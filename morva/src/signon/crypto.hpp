#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "morva/error.hpp"
#include "morva/secret.hpp"

// Single DES and SHA-1 from libgcrypt, on buffers that are zeroed when released.
namespace morva::signon {

// An 8-byte block (a key, a token or a cipher block), zeroed when it goes out of scope.
struct WipedBlock : std::array<std::uint8_t, 8> {
  ~WipedBlock() { wipe(data(), size()); }
};

inline constexpr std::size_t kSha1Length = 20;
struct WipedDigest : std::array<std::uint8_t, kSha1Length> {
  ~WipedDigest() { wipe(data(), size()); }
};

// The DES encryption of one block; parity bits of the key are ignored and weak keys are allowed.
Result<WipedBlock> des_encrypt(const WipedBlock& key, const WipedBlock& block);

// SHA-1 of the parts, one after the other.
WipedDigest sha1(std::initializer_list<std::span<const std::uint8_t>> parts);

}  // namespace morva::signon
