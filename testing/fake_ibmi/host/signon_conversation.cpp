// The sign-on server (0xE009): an attribute exchange that hands out the server seed and password level,
// then the sign-on information request whose substitute proves the password.
#include <algorithm>

#include "fake_ibmi/host/authentication.hpp"
#include "fake_ibmi/host/conversation.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kSignonServer = 0xE009;
constexpr std::uint16_t kAttributesRequestId = 0x7003;
constexpr std::uint16_t kAttributesReplyId = 0xF003;
constexpr std::uint16_t kInfoRequestId = 0x7004;
constexpr std::uint16_t kInfoReplyId = 0xF004;
constexpr std::uint16_t kVersionCp = 0x1101;
constexpr std::uint16_t kLevelCp = 0x1102;
constexpr std::uint16_t kSeedCp = 0x1103;
constexpr std::uint16_t kUserCp = 0x1104;
constexpr std::uint16_t kSubstituteCp = 0x1105;
constexpr std::uint16_t kServerCcsidCp = 0x1114;
constexpr std::uint16_t kPasswordLevelCp = 0x1119;
constexpr std::uint32_t kServerVersion = 0x00070500;  // V7R5M0
constexpr std::uint16_t kServerLevel = 10;
constexpr std::uint16_t kReturnCodeTemplate = 4;
constexpr std::uint32_t kRequestDataError = 0x00010001;

class SignonConversation : public Conversation {
 public:
  explicit SignonConversation(std::shared_ptr<HostState> state) : state_(std::move(state)) {}

  Answer answer(std::span<const std::uint8_t> request) override {
    const std::lock_guard lock(state_->mutex);
    PacketReader reader(request);
    switch (reader.request_id()) {
      case kAttributesRequestId: return exchange_attributes(reader);
      case kInfoRequestId: return sign_on(reader);
      default: return {.replies = {}, .close = true};
    }
  }

 private:
  Answer exchange_attributes(PacketReader& request) {
    const auto fault = state_->admit(Service::signon, RequestKind::signon_attributes, "");
    if (auto faulted = fault_answer(fault, [&](std::uint32_t code) { return attribute_reply(code); }))
      return *faulted;
    const auto seed = request.item(kSeedCp);
    if (request.malformed() || !seed || seed->size() != sizeof(Seed))
      return {{attribute_reply(kRequestDataError)}};
    client_seed_.emplace();
    std::ranges::copy(*seed, client_seed_->begin());
    server_seed_ = state_->new_seed();
    PacketBuilder reply = attribute_reply_builder(0);
    const Bytes level{state_->settings.password_level};
    reply.item(kSeedCp, server_seed_).item(kPasswordLevelCp, level);
    return {{reply.build()}};
  }

  Answer sign_on(PacketReader& request) {
    const auto user = request.item(kUserCp);
    const auto substitute = request.item(kSubstituteCp);
    const std::string profile = user ? decode_user_profile(*user) : std::string();
    const auto fault = state_->admit(Service::signon, RequestKind::signon_info, profile);
    if (auto faulted = fault_answer(fault, [&](std::uint32_t code) { return info_reply(code); }))
      return *faulted;
    if (request.malformed() || !user || !substitute || !client_seed_)
      return {{info_reply(kRequestDataError)}};
    const std::uint32_t code =
        check_sign_on(state_->settings, profile, *substitute, *client_seed_, server_seed_);
    return {{info_reply(code)}};
  }

  // Reply 0xF003: the return code, then the server's version and datastream level at fixed places.
  PacketBuilder attribute_reply_builder(std::uint32_t return_code) const {
    PacketBuilder reply(kSignonServer, kAttributesReplyId);
    reply.template_length(kReturnCodeTemplate).u32(20, return_code);
    reply.u32(24, 10).u16(28, kVersionCp).u32(30, kServerVersion);
    reply.u32(34, 8).u16(38, kLevelCp).u16(40, kServerLevel);
    return reply;
  }

  Bytes attribute_reply(std::uint32_t return_code) const {
    return attribute_reply_builder(return_code).build();
  }

  Bytes info_reply(std::uint32_t return_code) const {
    PacketBuilder reply(kSignonServer, kInfoReplyId);
    reply.template_length(kReturnCodeTemplate).u32(20, return_code);
    if (return_code == 0) reply.item(kServerCcsidCp, big_endian(state_->settings.command_ccsid, 4));
    return reply.build();
  }

  std::shared_ptr<HostState> state_;
  std::optional<Seed> client_seed_;
  Seed server_seed_{};
};

}  // namespace

std::unique_ptr<Conversation> start_signon_conversation(std::shared_ptr<HostState> state) {
  return std::make_unique<SignonConversation>(std::move(state));
}

}  // namespace fake_ibmi
