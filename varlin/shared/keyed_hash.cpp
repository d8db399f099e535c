#include "shared/keyed_hash.hpp"

#include <bit>
#include <random>

namespace varlin::filesystem {

namespace {

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1;
    v1 = std::rotl(v1, 13) ^ v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16) ^ v2;
    v0 += v3;
    v3 = std::rotl(v3, 21) ^ v0;
    v2 += v1;
    v1 = std::rotl(v1, 17) ^ v2;
    v2 = std::rotl(v2, 32);
  }

  void compress(std::uint64_t word) {
    v3 ^= word;
    round();
    v0 ^= word;
  }
};

std::uint64_t little_endian_word(std::span<const std::uint8_t> bytes) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) word |= std::uint64_t{bytes[i]} << (8 * i);
  return word;
}

std::uint64_t random_key() {
  std::random_device device;
  return (std::uint64_t{device()} << 32) | device();
}

}  // namespace

std::uint64_t siphash13(std::uint64_t k0, std::uint64_t k1, std::span<const std::uint8_t> bytes) {
  SipState state{k0 ^ 0x736f6d6570736575, k1 ^ 0x646f72616e646f6d, k0 ^ 0x6c7967656e657261,
                 k1 ^ 0x7465646279746573};
  const std::size_t whole = bytes.size() - bytes.size() % 8;
  for (std::size_t at = 0; at < whole; at += 8) state.compress(little_endian_word(bytes.subspan(at, 8)));
  state.compress(little_endian_word(bytes.subspan(whole)) | (std::uint64_t{bytes.size() & 0xFF} << 56));
  state.v2 ^= 0xFF;
  for (int i = 0; i < 3; ++i) state.round();
  return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

RandomlyKeyedHash::RandomlyKeyedHash() : k0_(random_key()), k1_(random_key()) {}

std::size_t RandomlyKeyedHash::operator()(std::string_view text) const {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  return static_cast<std::size_t>(siphash13(k0_, k1_, {data, text.size()}));
}

}  // namespace varlin::filesystem
