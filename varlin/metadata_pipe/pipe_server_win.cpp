#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/windows/overlapped_ptr.hpp>
#include <asio/windows/stream_handle.hpp>

#include <array>
#include <cstdint>
#include <exception>
#include <map>
#include <optional>

#include "metadata_pipe/file_properties.hpp"
#include "metadata_pipe/metadata_replier.hpp"
#include "metadata_pipe/pipe_drain_win.hpp"
#include "metadata_pipe/pipe_name.hpp"
#include "metadata_pipe/pipe_server_win.hpp"
#include "metadata_pipe/request_line.hpp"
#include "morva/log.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin::metadata_pipe {

namespace {

constexpr std::string_view kLogTarget = "varlin::metadata_pipe";
constexpr DWORD kPipeBufferSize = 65536;
constexpr std::size_t kReadBufferSize = 8192;
constexpr auto kCreateRetryPause = std::chrono::milliseconds(100);

using Strand = asio::strand<asio::any_io_executor>;
using Pipe = asio::windows::stream_handle;

std::error_code system_error(DWORD code) {
  return {static_cast<int>(code), std::system_category()};
}

// Whether a pipe of the name exists: one that Windows refuses to let a first instance join and that Wine
// lets it join in spite of FILE_FLAG_FIRST_PIPE_INSTANCE, so that two mounts would share one name.
bool pipe_name_taken(const std::wstring& name) {
  return WaitNamedPipeW(name.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT;
}

morva::Result<Pipe> create_instance(const Strand& strand, const std::wstring& name, bool first) {
  if (first && pipe_name_taken(name))
    return std::unexpected(morva::Error::system(system_error(ERROR_ACCESS_DENIED)));
  DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
  if (first) open_mode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
  HANDLE handle = CreateNamedPipeW(
      name.c_str(), open_mode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
      PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return std::unexpected(morva::Error::system(system_error(GetLastError())));
  Pipe pipe(strand);
  asio::error_code assigned;
  pipe.assign(handle, assigned);
  if (assigned) {
    CloseHandle(handle);
    return std::unexpected(morva::Error::system(assigned));
  }
  return pipe;
}

// Failures of a later instance that go away once clients have left.
bool is_passing(const morva::Error& error) {
  switch (error.system_code().value()) {
    case ERROR_PIPE_BUSY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_ENOUGH_QUOTA: return true;
    default: return false;
  }
}

asio::awaitable<morva::Result<void>> connect(Pipe& pipe) {
  auto token = asio::experimental::as_tuple(asio::use_awaitable);
  auto [failed, unused] = co_await asio::async_initiate<decltype(token), void(asio::error_code, std::size_t)>(
      [&pipe](auto handler) {
        asio::windows::overlapped_ptr operation(pipe.get_executor(), std::move(handler));
        const BOOL connected = ConnectNamedPipe(pipe.native_handle(), operation.get());
        const DWORD error = connected ? ERROR_SUCCESS : GetLastError();
        if (connected || error == ERROR_IO_PENDING) {
          operation.release();  // the completion port reports the result
        } else if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
          operation.complete(asio::error_code{}, 0);  // connected before we asked, or connected and gone
        } else {
          operation.complete(system_error(error), 0);
        }
      },
      token);
  static_cast<void>(unused);
  if (failed) co_return std::unexpected(morva::Error::system(failed));
  co_return morva::Result<void>{};
}

bool is_end_of_data(const asio::error_code& error) {
  return error == asio::error::eof || error.value() == ERROR_BROKEN_PIPE ||
         error.value() == ERROR_PIPE_NOT_CONNECTED;
}

// Disconnects and closes the instance: every wait on it ends, a drain's included.
void disconnect(Pipe& pipe) {
  if (!pipe.is_open()) return;
  if (!DisconnectNamedPipe(pipe.native_handle())) {
    const DWORD error = GetLastError();
    if (error != ERROR_PIPE_NOT_CONNECTED && error != static_cast<DWORD>(WSAENOTCONN))
      morva::log::debug(kLogTarget, "metadata-pipe client disconnect failed",
                        {{"error", morva::Error::system(system_error(error)).text()}});
  }
  asio::error_code ignored;
  pipe.close(ignored);
}

// One connected instance. Aborting disconnects it, which ends any read, write or drain under way.
struct Client {
  explicit Client(Pipe connected) : pipe(std::move(connected)), deadline(pipe.get_executor()) {}
  ~Client() { disconnect(pipe); }

  Pipe pipe;
  asio::steady_timer deadline;
  asio::cancellation_signal cancel;
};

bool deadline_passed(const Client& client) {
  return std::chrono::steady_clock::now() >= client.deadline.expiry();
}

// What the deadline does to a connection once its time is up: ends the read under way, so that the
// client can still be told; or disconnects it, which ends a write or a drain under way.
enum class AtDeadline { cancel_read, disconnect };

void arm_deadline(const std::shared_ptr<Client>& client, std::chrono::milliseconds time, AtDeadline action) {
  client->deadline.expires_after(time);
  client->deadline.async_wait([client, action](const asio::error_code& error) {
    // A wait of an earlier deadline may complete after the next was armed.
    if (error || !deadline_passed(*client) || !client->pipe.is_open()) return;
    if (action == AtDeadline::disconnect) {
      DisconnectNamedPipe(client->pipe.native_handle());
    } else {
      asio::error_code ignored;
      client->pipe.cancel(ignored);
    }
  });
}

morva::Error timed_out(std::string text) {
  return morva::Error::io(morva::IoErrorKind::timed_out, std::move(text));
}

asio::awaitable<morva::Result<std::string>> read_request(std::shared_ptr<Client> client,
                                                         std::chrono::milliseconds time) {
  RequestLineReader reader;
  std::array<char, kReadBufferSize> buffer;
  asio::error_code failed;
  arm_deadline(client, time, AtDeadline::cancel_read);
  while (!reader.complete()) {
    // The time may run out while no read is under way, and then nothing would cancel the next one.
    if (deadline_passed(*client)) {
      failed = asio::error::timed_out;
      break;
    }
    auto [error, taken] = co_await client->pipe.async_read_some(
        asio::buffer(buffer.data(), reader.next_read_size(buffer.size())),
        asio::experimental::as_tuple(asio::use_awaitable));
    if (error) {
      if (!is_end_of_data(error)) failed = error;
      break;
    }
    reader.take({buffer.data(), taken});
  }
  client->deadline.cancel();
  if (failed && deadline_passed(*client))
    co_return std::unexpected(timed_out("metadata request did not arrive in time"));
  if (failed) co_return std::unexpected(morva::Error::system(failed));
  co_return std::move(reader).finish();
}

asio::awaitable<morva::Result<void>> write_reply(Pipe& pipe, const std::string& reply) {
  std::size_t written = 0;
  while (written < reply.size()) {
    auto [error, taken] =
        co_await pipe.async_write_some(asio::buffer(reply.data() + written, reply.size() - written),
                                       asio::experimental::as_tuple(asio::use_awaitable));
    if (error) co_return std::unexpected(morva::Error::system(error));
    if (taken == 0)
      co_return std::unexpected(
          morva::Error::io(morva::IoErrorKind::write_zero, "metadata reply write took no byte"));
    written += taken;
  }
  co_return morva::Result<void>{};
}

// Writes the reply and waits until the client has read all of it, within the time; a client that does
// not take it in time is disconnected, which frees its instance.
asio::awaitable<morva::Result<void>> deliver_reply(std::shared_ptr<Client> client, const std::string& reply,
                                                   std::chrono::milliseconds time) {
  arm_deadline(client, time, AtDeadline::disconnect);
  auto delivered = co_await write_reply(client->pipe, reply);
  if (delivered) delivered = co_await wait_until_drained(client->pipe);
  client->deadline.cancel();
  if (deadline_passed(*client)) co_return std::unexpected(timed_out("metadata reply was not read in time"));
  co_return delivered;
}

struct Server {
  Server(Strand executor, std::wstring wide_name, std::string text_name,
         std::shared_ptr<RequestHandler> request_handler, PipeServerLimits server_limits)
      : strand(std::move(executor)),
        name(std::move(wide_name)),
        name_text(std::move(text_name)),
        handler(std::move(request_handler)),
        limits(server_limits),
        pause(strand) {}

  Strand strand;
  std::wstring name;
  std::string name_text;
  std::shared_ptr<RequestHandler> handler;
  PipeServerLimits limits;
  std::optional<Pipe> listening;
  asio::steady_timer pause;  // the retry pause, and the wait for the last client after a stop
  bool stopping = false;
  std::map<std::uint64_t, std::shared_ptr<Client>> clients;
  std::uint64_t next_client = 0;
};

void abort_client(Client& client) {
  client.cancel.emit(asio::cancellation_type::terminal);
  disconnect(client.pipe);
  client.deadline.cancel();
}

void stop(Server& server) {
  server.stopping = true;
  if (server.listening) {
    asio::error_code ignored;
    server.listening->close(ignored);
  }
  server.pause.cancel();
  for (auto& [id, client] : server.clients) abort_client(*client);
}

asio::awaitable<void> handle_client(std::shared_ptr<Server> server, std::shared_ptr<Client> client) {
  auto request = co_await read_request(client, server->limits.request_time);
  if (!client->pipe.is_open()) co_return;
  std::string reply = co_await server->handler->reply(std::move(request));
  reply.push_back('\n');
  if (auto delivered = co_await deliver_reply(client, reply, server->limits.reply_time); !delivered)
    morva::log::debug(kLogTarget, "metadata-pipe client disconnected", {{"error", delivered.error().text()}});
  disconnect(client->pipe);
}

void spawn_client(const std::shared_ptr<Server>& server, Pipe connected) {
  const std::uint64_t id = server->next_client++;
  auto client = std::make_shared<Client>(std::move(connected));
  server->clients.emplace(id, client);
  auto slot = client->cancel.slot();
  asio::co_spawn(server->strand, handle_client(server, client),
                 asio::bind_cancellation_slot(slot, [server, id](std::exception_ptr) {
                   // The signal may not go while its slot is in use; let the task's frame go first.
                   asio::post(server->strand, [server, id] {
                     server->clients.erase(id);
                     if (server->stopping && server->clients.empty()) server->pause.cancel();
                   });
                 }));
}

asio::awaitable<void> pause_for(Server& server, std::chrono::steady_clock::duration time) {
  server.pause.expires_after(time);
  co_await server.pause.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
}

asio::awaitable<void> accept_loop(std::shared_ptr<Server> server) {
  std::optional<morva::Error> failure;
  while (!server->stopping) {
    if (!server->listening) {
      auto created = create_instance(server->strand, server->name, false);
      if (!created) {
        if (!is_passing(created.error())) {
          failure = std::move(created.error());
          break;
        }
        co_await pause_for(*server, kCreateRetryPause);
        continue;
      }
      server->listening.emplace(std::move(*created));
    }
    auto connected = co_await connect(*server->listening);
    if (server->stopping) break;
    if (!connected) {
      failure = std::move(connected.error());
      break;
    }
    Pipe client = std::move(*server->listening);
    server->listening.reset();
    spawn_client(server, std::move(client));
  }
  stop(*server);
  while (!server->clients.empty()) co_await pause_for(*server, std::chrono::hours(24));
  server->listening.reset();
  if (failure)
    morva::log::error(kLogTarget, "VARLIN metadata pipe stopped",
                      {{"error", failure->text()}, {"name", server->name_text}});
}

}  // namespace

morva::Result<ShutdownSender> serve_pipe(const asio::any_io_executor& executor, const std::string& pipe_name,
                                         std::shared_ptr<RequestHandler> handler, PipeServerLimits limits) {
  auto strand = asio::make_strand(executor);
  auto wide_name = to_wide(pipe_name);
  auto first = create_instance(strand, wide_name, true);
  if (!first) return std::unexpected(std::move(first.error()));
  auto server = std::make_shared<Server>(strand, std::move(wide_name), pipe_name, std::move(handler), limits);
  server->listening.emplace(std::move(*first));
  auto signal = ShutdownSignal::create(strand);
  asio::co_spawn(strand, accept_loop(server), asio::detached);
  asio::co_spawn(
      strand,
      [](std::shared_ptr<Server> served, std::shared_ptr<ShutdownChannel> channel) -> asio::awaitable<void> {
        co_await wait_for_shutdown(std::move(channel));
        stop(*served);
      }(server, std::move(signal.channel)),
      asio::detached);
  return std::move(signal.sender);
}

morva::Result<ShutdownSender> serve_metadata_pipe(const asio::any_io_executor& executor, PipeState state,
                                                  std::uint32_t mount_id, PipeServerLimits limits) {
  auto lookup = [state = std::move(state)](std::string line) {
    return get_file_properties(std::move(line), state);
  };
  return serve_pipe(executor, metadata_pipe_name(mount_id),
                    std::make_shared<MetadataReplier>(mount_id, std::move(lookup)), limits);
}

}  // namespace varlin::metadata_pipe
