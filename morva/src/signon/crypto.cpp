#include "signon/crypto.hpp"

#include <fmt/format.h>
#include <gcrypt.h>

#include <vector>

namespace morva::signon {
namespace {

// libgcrypt wants one initialisation before first use; it is done once, on first need.
void initialise_gcrypt() {
  static const bool initialised = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)initialised;
}

class Cipher {
 public:
  Cipher() = default;
  ~Cipher() {
    if (handle_ != nullptr) gcry_cipher_close(handle_);
  }
  Cipher(const Cipher&) = delete;
  Cipher& operator=(const Cipher&) = delete;
  gcry_cipher_hd_t* out() { return &handle_; }
  gcry_cipher_hd_t get() const { return handle_; }

 private:
  gcry_cipher_hd_t handle_ = nullptr;
};

Result<WipedBlock> des_failure(gcry_error_t error) {
  return fail(fmt::format("DES encryption failed: {}", gcry_strerror(error)));
}

}  // namespace

Result<WipedBlock> des_encrypt(const WipedBlock& key, const WipedBlock& block) {
  initialise_gcrypt();
  Cipher cipher;
  if (gcry_error_t error = gcry_cipher_open(cipher.out(), GCRY_CIPHER_DES, GCRY_CIPHER_MODE_ECB, 0)) {
    return des_failure(error);
  }
  // Without this a weak key leaves the cipher with no key at all.
  if (gcry_error_t error = gcry_cipher_ctl(cipher.get(), GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1)) {
    return des_failure(error);
  }
  // With weak keys allowed, a weak key is still reported, as a warning; the key is set.
  if (gcry_error_t error = gcry_cipher_setkey(cipher.get(), key.data(), key.size());
      error && gcry_err_code(error) != GPG_ERR_WEAK_KEY) {
    return des_failure(error);
  }
  WipedBlock encrypted;
  if (gcry_error_t error =
          gcry_cipher_encrypt(cipher.get(), encrypted.data(), encrypted.size(), block.data(), block.size())) {
    return des_failure(error);
  }
  return encrypted;
}

WipedDigest sha1(std::initializer_list<std::span<const std::uint8_t>> parts) {
  initialise_gcrypt();
  std::vector<gcry_buffer_t> buffers;
  for (const auto part : parts) {
    buffers.push_back({part.size(), 0, part.size(), const_cast<std::uint8_t*>(part.data())});
  }
  WipedDigest digest;
  gcry_md_hash_buffers(GCRY_MD_SHA1, 0, digest.data(), buffers.data(), static_cast<int>(buffers.size()));
  return digest;
}

}  // namespace morva::signon
