// How the servers of the fake check a sign-on: the user profile must be known and the password
// substitute must be the one its password gives for the connection's two seeds.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/host/host_state.hpp"
#include "fake_ibmi/host/packet_reader.hpp"

namespace fake_ibmi {

// Sign-on return codes.
inline constexpr std::uint32_t kUnknownUser = 0x00020001;
inline constexpr std::uint32_t kWrongPassword = 0x0003000B;

// The user profile of its 10 EBCDIC bytes, without the blanks that pad it.
std::string decode_user_profile(std::span<const std::uint8_t> user);

// 0 when the substitute proves the user's password, else kUnknownUser or kWrongPassword.
std::uint32_t check_sign_on(const HostSettings& settings, std::string_view user,
                            std::span<const std::uint8_t> substitute, const Seed& client_seed,
                            const Seed& server_seed);

// The seed exchange (0x7001 / 0xF001) and start-server request (0x7002 / 0xF002) that open a
// file-server or remote-command connection.
class ServerLogin {
 public:
  ServerLogin(std::uint16_t server_id, std::string job_name_suffix)
      : server_id_(server_id), job_name_suffix_(std::move(job_name_suffix)) {}

  // Reply 0xF001: the password level in header byte 5, return code 0 and a fresh server seed.
  Bytes exchange_seeds(PacketReader& request, HostState& state);
  // Reply 0xF002: the check's return code, and the server job's name when it passed.
  Bytes start_server(PacketReader& request, HostState& state);
  Bytes seeds_failure(std::uint32_t return_code) const;
  Bytes start_failure(std::uint32_t return_code) const;

  bool signed_on() const { return signed_on_; }

 private:
  std::uint16_t server_id_;
  std::string job_name_suffix_;
  std::optional<Seed> client_seed_;
  Seed server_seed_{};
  bool signed_on_ = false;
};

// The user profile that a start-server request names, for the record of requests.
std::string start_server_user(PacketReader& request);

}  // namespace fake_ibmi
