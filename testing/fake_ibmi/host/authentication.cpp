#include "fake_ibmi/host/authentication.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "fake_ibmi/host/ccsid_text.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kSeedReplyId = 0xF001;
constexpr std::uint16_t kStartReplyId = 0xF002;
constexpr std::uint16_t kSubstituteCp = 0x1105;
constexpr std::uint16_t kUserCp = 0x1104;
constexpr std::uint16_t kJobNameCp = 0x111F;
constexpr std::size_t kClientSeedOffset = 20;
constexpr std::uint16_t kInvariantCcsid = 37;
constexpr std::uint32_t kRequestDataError = 0x00010001;

bool same_profile(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return std::ranges::equal(a, b, [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace

std::string decode_user_profile(std::span<const std::uint8_t> user) {
  return trim_right(decode_text(user, kInvariantCcsid).value_or(""));
}

std::uint32_t check_sign_on(const HostSettings& settings, std::string_view user,
                            std::span<const std::uint8_t> substitute, const Seed& client_seed,
                            const Seed& server_seed) {
  const auto known = std::ranges::find_if(settings.users,
                                          [&](const auto& entry) { return same_profile(entry.first, user); });
  if (user.empty() || known == settings.users.end()) return kUnknownUser;
  const auto expected =
      expected_substitute(known->first, known->second, settings.password_level, client_seed, server_seed);
  const bool proven = expected && std::ranges::equal(*expected, substitute);
  return proven ? 0 : kWrongPassword;
}

Bytes ServerLogin::exchange_seeds(PacketReader& request, HostState& state) {
  const auto seed = request.bytes(kClientSeedOffset, sizeof(Seed));
  if (request.malformed()) return seeds_failure(kRequestDataError);
  client_seed_.emplace();
  std::ranges::copy(seed, client_seed_->begin());
  server_seed_ = state.new_seed();
  return PacketBuilder(server_id_, kSeedReplyId)
      .header_id(0, state.settings.password_level)
      .u32(20, 0)
      .bytes(24, server_seed_)
      .build();
}

Bytes ServerLogin::start_server(PacketReader& request, HostState& state) {
  const auto substitute = request.item(kSubstituteCp);
  const auto user = request.item(kUserCp);
  if (request.malformed() || !substitute || !user || !client_seed_) return start_failure(kRequestDataError);
  const std::string profile = decode_user_profile(*user);
  const std::uint32_t code = check_sign_on(state.settings, profile, *substitute, *client_seed_, server_seed_);
  if (code != 0) return start_failure(code);
  signed_on_ = true;
  const std::string job = fmt::format("{:06}/QUSER/{}", state.new_job_number(), job_name_suffix_);
  Bytes job_item = big_endian(kInvariantCcsid, 4);  // the CCSID of the name that follows
  const auto job_text = encode_text(job, kInvariantCcsid).value_or(Bytes{});
  job_item.insert(job_item.end(), job_text.begin(), job_text.end());
  return PacketBuilder(server_id_, kStartReplyId).u32(20, 0).item(kJobNameCp, job_item).build();
}

Bytes ServerLogin::seeds_failure(std::uint32_t return_code) const {
  return PacketBuilder(server_id_, kSeedReplyId).u32(20, return_code).u64(24, 0).build();
}

Bytes ServerLogin::start_failure(std::uint32_t return_code) const {
  return PacketBuilder(server_id_, kStartReplyId).u32(20, return_code).build();
}

std::string start_server_user(PacketReader& request) {
  const auto user = request.item(kUserCp);
  return user ? decode_user_profile(*user) : std::string();
}

}  // namespace fake_ibmi
