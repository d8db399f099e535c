// The remote-command server (0xE008): the connection sequence, then calls of the IBM i APIs.
#include "fake_ibmi/host/authentication.hpp"
#include "fake_ibmi/host/conversation.hpp"
#include "fake_ibmi/host/program_call.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kCommandServer = 0xE008;
constexpr std::uint16_t kSeedsRequestId = 0x7001;
constexpr std::uint16_t kStartRequestId = 0x7002;
constexpr std::uint16_t kAttributesRequestId = 0x1001;
constexpr std::uint16_t kAttributesReplyId = 0x8001;
constexpr std::uint16_t kCallRequestId = 0x1003;
constexpr std::uint16_t kCallReplyId = 0x8003;
constexpr std::uint16_t kParameterCp = 0x1103;
constexpr std::uint32_t kServerVersion = 1;
constexpr std::uint16_t kMalformedCall = 0x0100;

class CommandConversation : public Conversation {
 public:
  explicit CommandConversation(std::shared_ptr<HostState> state)
      : state_(std::move(state)), login_(kCommandServer, "QZRCSRVS") {}

  Answer answer(std::span<const std::uint8_t> request) override {
    const std::lock_guard lock(state_->mutex);
    PacketReader reader(request);
    std::optional<ProgramCall> call;
    RequestKind kind = RequestKind::unknown_command_request;
    std::string subject;
    switch (reader.request_id()) {
      case kSeedsRequestId: kind = RequestKind::command_seeds; break;
      case kStartRequestId:
        kind = RequestKind::command_start;
        subject = start_server_user(reader);
        break;
      case kAttributesRequestId: kind = RequestKind::command_attributes; break;
      case kCallRequestId:
        call = parse_program_call(reader);
        kind = call ? call_kind(*call) : RequestKind::call_program;
        subject = call ? call_subject(*call) : std::string();
        break;
      default: break;
    }
    const auto fault = state_->admit(Service::command, kind, std::move(subject));
    if (auto faulted = fault_answer(fault, [&](std::uint32_t code) { return failure_reply(kind, code); }))
      return *faulted;
    if (kind == RequestKind::command_seeds) return {{login_.exchange_seeds(reader, *state_)}};
    if (kind == RequestKind::command_start) return {{login_.start_server(reader, *state_)}};
    if (!login_.signed_on() || kind == RequestKind::unknown_command_request)
      return {.replies = {}, .close = true};
    if (kind == RequestKind::command_attributes) return {{attributes_reply(0)}};
    if (!call) return {{call_reply(nullptr, kMalformedCall)}};
    const std::uint16_t code = run_program(*call, state_->tree, state_->settings);
    return {{call_reply(&*call, code)}};
  }

 private:
  Bytes failure_reply(RequestKind kind, std::uint32_t code) const {
    switch (kind) {
      case RequestKind::command_seeds: return login_.seeds_failure(code);
      case RequestKind::command_start: return login_.start_failure(code);
      case RequestKind::command_attributes: return attributes_reply(static_cast<std::uint16_t>(code));
      default: return call_reply(nullptr, static_cast<std::uint16_t>(code));
    }
  }

  // Reply 0x8001: the return code at 20, the job's CCSID at 22, its language version (2924, EBCDIC
  // digits) at 26, the server version at 30 and the datastream level at 34.
  Bytes attributes_reply(std::uint16_t code) const {
    const Bytes language{0xF2, 0xF9, 0xF2, 0xF4};
    return PacketBuilder(kCommandServer, kAttributesReplyId)
        .u16(20, code)
        .u32(22, state_->settings.command_ccsid)
        .bytes(26, language)
        .u32(30, kServerVersion)
        .u16(34, state_->settings.command_datastream_level)
        .build();
  }

  // Reply 0x8003: the return code at 20; after a completed call, one item (CP 0x1103) per output
  // parameter, in order: maximum length, usage, data.
  static Bytes call_reply(const ProgramCall* call, std::uint16_t code) {
    PacketBuilder reply(kCommandServer, kCallReplyId);
    reply.template_length(4).u16(20, code).u16(22, 0);
    if (call == nullptr || code != 0) return reply.build();
    for (const ProgramParameter& parameter : call->parameters) {
      if (parameter.usage == kInputUsage) continue;
      Bytes item = big_endian(parameter.max_length, 4);
      const Bytes usage = big_endian(parameter.usage, 2);
      item.insert(item.end(), usage.begin(), usage.end());
      item.insert(item.end(), parameter.data.begin(), parameter.data.end());
      reply.item(kParameterCp, item);
    }
    return reply.build();
  }

  std::shared_ptr<HostState> state_;
  ServerLogin login_;
};

}  // namespace

std::unique_ptr<Conversation> start_command_conversation(std::shared_ptr<HostState> state) {
  return std::make_unique<CommandConversation>(std::move(state));
}

}  // namespace fake_ibmi
