#include "morva/command/command_client.hpp"

#include "command/send_command_request.hpp"
#include "morva/command/receive_packet.hpp"

namespace morva::command {

CommandClient::CommandClient(asio::ip::tcp::socket stream, server::TimeLimit time_limit, std::string job_name,
                             std::uint32_t ccsid, std::uint16_t datastream_level)
    : stream_(std::move(stream)),
      time_limit_(std::move(time_limit)),
      job_name_(std::move(job_name)),
      ccsid_(ccsid),
      datastream_level_(datastream_level) {}

Result<void> CommandClient::check_usable() const {
  switch (state_) {
    case State::ready: return {};
    case State::busy: return fail("remote-command connection is already serving a request");
    case State::broken: return fail("remote-command connection is unusable after a failed exchange");
  }
  return {};
}

asio::awaitable<Result<void>> CommandClient::send_request(CommandRequest request) {
  if (auto usable = check_usable(); !usable) co_return usable;
  state_ = State::broken;  // until the write has gone through
  auto sent = co_await send_command_request(stream_, std::move(request), time_limit_);
  if (sent) state_ = State::ready;
  co_return sent;
}

asio::awaitable<Result<std::vector<std::uint8_t>>> CommandClient::call(CommandRequest request) {
  if (auto usable = check_usable(); !usable) co_return std::unexpected(usable.error());
  // A call that does not finish, whatever the reason, leaves a reply or part of one on the stream.
  state_ = State::busy;
  struct BreakUnlessDone {
    State& state;
    ~BreakUnlessDone() {
      if (state == State::busy) state = State::broken;
    }
  } guard{state_};

  if (auto sent = co_await send_command_request(stream_, std::move(request), time_limit_); !sent)
    co_return std::unexpected(sent.error());
  auto reply = co_await receive_packet(stream_, time_limit_);
  if (reply) state_ = State::ready;
  co_return reply;
}

asio::awaitable<Result<MemberDescription>> CommandClient::retrieve_member_description(std::string library,
                                                                                      std::string file,
                                                                                      std::string member) {
  CommandRequest request = RetrieveMemberDescription{.datastream_level = datastream_level_,
                                                     .library = std::move(library),
                                                     .file = std::move(file),
                                                     .member = std::move(member)};
  auto reply = co_await call(std::move(request));
  if (!reply) co_return std::unexpected(reply.error());
  co_return MemberDescription::parse(*reply, text_ccsid());
}

asio::awaitable<Result<FileDescription>> CommandClient::retrieve_file_description(std::string library,
                                                                                  std::string file) {
  CommandRequest request = RetrieveFileDescription{
      .datastream_level = datastream_level_, .library = std::move(library), .file = std::move(file)};
  auto reply = co_await call(std::move(request));
  if (!reply) co_return std::unexpected(reply.error());
  co_return FileDescription::parse(*reply);
}

asio::awaitable<Result<ObjectDescription>> CommandClient::retrieve_object_description(
    std::string library, std::string object, std::string object_type) {
  CommandRequest request = RetrieveObjectDescription{.datastream_level = datastream_level_,
                                                     .library = std::move(library),
                                                     .object = std::move(object),
                                                     .object_type = std::move(object_type)};
  auto reply = co_await call(std::move(request));
  if (!reply) co_return std::unexpected(reply.error());
  co_return ObjectDescription::parse(*reply, text_ccsid());
}

asio::awaitable<Result<SystemStorage>> CommandClient::retrieve_system_storage() {
  CommandRequest request = RetrieveSystemStorage{.datastream_level = datastream_level_};
  auto reply = co_await call(std::move(request));
  if (!reply) co_return std::unexpected(reply.error());
  co_return SystemStorage::parse(*reply);
}

}  // namespace morva::command
