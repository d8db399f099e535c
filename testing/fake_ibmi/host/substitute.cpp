#include "fake_ibmi/host/substitute.hpp"

#include <gcrypt.h>
#include <locale.h>
#include <string.h>
#include <wctype.h>

#include <algorithm>
#include <initializer_list>
#include <span>
#include <string>

#include "fake_ibmi/host/ccsid_text.hpp"

namespace fake_ibmi {
namespace {

using Block = std::array<std::uint8_t, 8>;

constexpr std::uint8_t kEbcdicBlank = 0x40;
constexpr std::size_t kProfileLength = 10;
constexpr std::size_t kSha1Length = 20;

void wipe(std::span<std::uint8_t> bytes) {
  if (!bytes.empty()) explicit_bzero(bytes.data(), bytes.size());
}

// Clears a secret when it goes out of scope, whichever way.
template <typename Buffer>
class Wiped {
 public:
  explicit Wiped(Buffer& buffer) : buffer_(buffer) {}
  ~Wiped() { wipe(buffer_); }
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;

 private:
  Buffer& buffer_;
};

void initialise_gcrypt() {
  static const bool initialised = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)initialised;
}

// One block of single DES in ECB mode; IBM i keys may be weak ones.
Block des(const Block& key, const Block& data) {
  initialise_gcrypt();
  gcry_cipher_hd_t cipher = nullptr;
  gcry_cipher_open(&cipher, GCRY_CIPHER_DES, GCRY_CIPHER_MODE_ECB, 0);
  gcry_cipher_ctl(cipher, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
  gcry_cipher_setkey(cipher, key.data(), key.size());
  Block encrypted{};
  gcry_cipher_encrypt(cipher, encrypted.data(), encrypted.size(), data.data(), data.size());
  gcry_cipher_close(cipher);
  return encrypted;
}

Block operator^(const Block& a, const Block& b) {
  Block result{};
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = a[i] ^ b[i];
  return result;
}

bool is_blank(std::uint8_t byte) {
  return (byte & ~kEbcdicBlank) == 0;
}

Block first_eight(std::span<const std::uint8_t> bytes) {
  Block block{};
  std::copy_n(bytes.begin(), block.size(), block.begin());
  return block;
}

// Bytes 8 and 9 of a 10-byte name followed by six blanks.
Block last_two(std::span<const std::uint8_t> bytes) {
  Block block{};
  block.fill(kEbcdicBlank);
  block[0] = bytes[8];
  block[1] = bytes[9];
  return block;
}

// The first eight bytes are used whole only while none of them is blank and byte 8 is not.
bool uses_all_ten(std::span<const std::uint8_t> bytes) {
  return std::none_of(bytes.begin(), bytes.begin() + 8, is_blank) && !is_blank(bytes[8]);
}

// The DES key made of eight bytes: each XORed with 0x55, the whole then shifted left by one bit.
Block key_of(const Block& bytes) {
  Block key{};
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto current = static_cast<std::uint8_t>(bytes[i] ^ 0x55);
    const auto next = i + 1 < key.size() ? static_cast<std::uint8_t>(bytes[i + 1] ^ 0x55) : std::uint8_t{0};
    key[i] = static_cast<std::uint8_t>(current << 1 | next >> 7);
  }
  return key;
}

// A user profile of nine or ten characters folds its last two bytes into the first eight.
Block folded_profile(std::span<const std::uint8_t> profile) {
  Block folded = first_eight(profile);
  if (!uses_all_ten(profile)) return folded;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto shift = static_cast<unsigned>(2 * i);
    folded[i] =
        static_cast<std::uint8_t>(folded[i] ^ (static_cast<std::uint8_t>(profile[8] << shift) & 0xC0));
    folded[i + 4] =
        static_cast<std::uint8_t>(folded[i + 4] ^ (static_cast<std::uint8_t>(profile[9] << shift) & 0xC0));
  }
  return folded;
}

// National characters that level 0 takes for the three variant characters of CCSID 37.
char variant_for(char32_t character) {
  switch (character) {
    case U'£':
    case U'Ä':
    case U'Æ':
    case U'Ñ': return '#';
    case U'¥':
    case U'Å':
    case U'İ': return '$';
    case U'§':
    case U'À':
    case U'Ð':
    case U'Ö':
    case U'Ø':
    case U'Ş': return '@';
    default: return '\0';
  }
}

// The ten EBCDIC bytes of a password at level 0, or nothing when it has no such form.
std::optional<Bytes> level0_password(std::string_view password) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  static constexpr std::string_view kAllowed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!\"%&'()*+,-./:;<=>?_#$@";
  auto characters = code_points(password);
  if (!characters || characters->empty()) return std::nullopt;
  if (characters->front() >= U'0' && characters->front() <= U'9')
    characters->insert(characters->begin(), U'Q');
  if (characters->size() > kProfileLength) return std::nullopt;
  std::string ascii;
  for (const char32_t character : *characters) {
    const auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(character), utf8));
    if (const char variant = variant_for(upper)) {
      ascii.push_back(variant);
    } else if (upper < 0x80 && kAllowed.find(static_cast<char>(upper)) != std::string_view::npos) {
      ascii.push_back(static_cast<char>(upper));
    } else {
      return std::nullopt;
    }
  }
  auto encoded = encode_field(ascii, 37, kProfileLength);
  wipe(std::span(reinterpret_cast<std::uint8_t*>(ascii.data()), ascii.size()));
  return encoded;
}

std::optional<Bytes> des_substitute(std::span<const std::uint8_t> profile, std::string_view password,
                                    const Seed& client_seed, const Seed& server_seed) {
  auto encoded_password = level0_password(password);
  if (!encoded_password) return std::nullopt;
  const Wiped wipe_password(*encoded_password);
  const Block user = folded_profile(profile);
  Block token = des(key_of(first_eight(*encoded_password)), user);
  const Wiped wipe_token(token);
  if (uses_all_ten(*encoded_password)) token = token ^ des(key_of(last_two(*encoded_password)), user);

  Block next_seed = server_seed;
  for (std::size_t i = next_seed.size(); i-- > 0;) {
    if (++next_seed[i] != 0) break;
  }
  Block sequence{};
  sequence.back() = 1;
  const Block e1 = des(token, next_seed);
  const Block e2 = des(token, e1 ^ client_seed);
  const Block e3 = des(token, first_eight(profile) ^ next_seed ^ e2);
  const Block e4 = des(token, last_two(profile) ^ next_seed ^ e3);
  const Block e5 = des(token, e4 ^ sequence);
  return Bytes(e5.begin(), e5.end());
}

using Digest = std::array<std::uint8_t, kSha1Length>;

// The parts one after another, in a buffer allocated once, so that no copy is left behind by growing.
Bytes joined(std::initializer_list<std::span<const std::uint8_t>> parts) {
  std::size_t size = 0;
  for (const auto part : parts) size += part.size();
  Bytes bytes(size);
  auto out = bytes.begin();
  for (const auto part : parts) out = std::ranges::copy(part, out).out;
  return bytes;
}

Digest sha1(const Bytes& data) {
  initialise_gcrypt();
  Digest digest{};
  gcry_md_hash_buffer(GCRY_MD_SHA1, digest.data(), data.data(), data.size());
  return digest;
}

std::optional<Bytes> sha1_substitute(std::string_view upper_user, std::string_view password,
                                     const Seed& client_seed, const Seed& server_seed) {
  Bytes user16;
  for (std::size_t i = 0; i < kProfileLength; ++i) {
    user16.push_back(0);
    user16.push_back(i < upper_user.size() ? static_cast<std::uint8_t>(upper_user[i]) : 0x20);
  }
  auto password16 = encode_text(password, 1200);
  if (!password16) return std::nullopt;
  Bytes token_input = joined({user16, *password16});
  const Wiped wipe_token_input(token_input);
  wipe(*password16);
  Digest token = sha1(token_input);
  const Wiped wipe_token(token);
  const Block sequence{0, 0, 0, 0, 0, 0, 0, 1};
  Bytes input = joined({token, server_seed, client_seed, user16, sequence});
  const Wiped wipe_input(input);
  const Digest substitute = sha1(input);
  return Bytes(substitute.begin(), substitute.end());
}

}  // namespace

std::optional<Bytes> expected_substitute(std::string_view user, std::string_view password, std::uint8_t level,
                                         const Seed& client_seed, const Seed& server_seed) {
  std::string upper(user);
  std::ranges::transform(upper, upper.begin(),
                         [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
  const auto profile = encode_field(upper, 37, kProfileLength);
  if (!profile || upper.empty()) return std::nullopt;
  switch (level) {
    case 0:
    case 1: return des_substitute(*profile, password, client_seed, server_seed);
    case 2:
    case 3: return sha1_substitute(upper, password, client_seed, server_seed);
    default: return std::nullopt;
  }
}

}  // namespace fake_ibmi
