#include "metadata_pipe/mount_id_hash.hpp"

namespace varlin::metadata_pipe {

namespace {

constexpr std::uint32_t kFnvOffsetBasis = 0x811C9DC5;
constexpr std::uint32_t kFnvPrime = 0x01000193;

std::uint32_t fold(std::uint32_t hash, unsigned char byte) {
  if (byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
  return (hash ^ byte) * kFnvPrime;
}

std::uint32_t fold(std::uint32_t hash, std::string_view text) {
  for (char c : text) hash = fold(hash, static_cast<unsigned char>(c));
  return hash;
}

}  // namespace

std::uint32_t mount_id_hash(std::string_view host, std::string_view remote_root,
                            std::string_view mount_point) {
  // The 0 bytes keep the texts apart, so moving a character from one text to the next changes the hash.
  std::uint32_t hash = fold(kFnvOffsetBasis, host);
  hash = fold(fold(hash, 0), remote_root);
  hash = fold(fold(hash, 0), mount_point);
  return hash == 0 ? 1 : hash;
}

}  // namespace varlin::metadata_pipe
