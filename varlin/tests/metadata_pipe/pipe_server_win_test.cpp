#include "metadata_pipe/pipe_server_win.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "metadata_pipe/pipe_name.hpp"
#include "pipe_io_win.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin::metadata_pipe {
namespace {

using namespace std::chrono_literals;

constexpr DWORD kWaitMs = 5000;

// Answers "size:<bytes>" for a line; "hold" waits until cancelled, "throw" fails, "big" gives a reply
// several times the pipe's buffer.
class FakeHandler : public RequestHandler {
 public:
  asio::awaitable<std::string> reply(morva::Result<std::string> request) override {
    if (!request) {
      std::lock_guard lock(mutex_);
      errors_.push_back(request.error().text());
      co_return "error:" + request.error().text();
    }
    if (request->starts_with("hold")) {
      ++held;
      asio::steady_timer forever(co_await asio::this_coro::executor, 1h);
      try {
        co_await forever.async_wait(asio::use_awaitable);
      } catch (...) {
        ++cancelled;
        throw;
      }
    }
    if (request->starts_with("throw")) throw std::runtime_error("handler failed");
    if (request->starts_with("big")) co_return std::string(300000, 'b');
    co_return "size:" + std::to_string(request->size());
  }

  std::vector<std::string> errors() {
    std::lock_guard lock(mutex_);
    return errors_;
  }

  std::atomic<int> held = 0;
  std::atomic<int> cancelled = 0;

 private:
  std::mutex mutex_;
  std::vector<std::string> errors_;
};

// A pipe client whose every wait is bounded.
class Client {
 public:
  explicit Client(HANDLE handle) : handle_(handle) {}
  Client(Client&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  ~Client() { close(); }

  static std::optional<Client> open(const std::string& name) {
    const HANDLE handle = pipe_io::connect(to_wide(name), kWaitMs);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    return Client(handle);
  }

  bool write(std::string_view bytes) { return pipe_io::write_all(handle_, bytes, kWaitMs); }

  // The reply line, or what came before the server closed its end; nullopt when neither comes in time.
  std::optional<std::string> read_reply() {
    std::string all;
    char buffer[16384];
    while (all.find('\n') == std::string::npos) {
      const auto count = pipe_io::read_some(handle_, buffer, sizeof buffer, kWaitMs);
      if (!count) return std::nullopt;
      if (*count == 0) break;
      all.append(buffer, *count);
    }
    return all;
  }

  // Waits (bounded) until the server's end holds reply bytes for this client, or until the server has
  // let the connection go: whether that came.
  bool wait_until_reply_waits() {
    return wait_until([](std::optional<DWORD> available) { return available.value_or(0) > 0; });
  }
  bool wait_until_let_go() {
    return wait_until([](std::optional<DWORD> available) { return !available; });
  }

  void close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
  }

 private:
  // Polls (bounded) until the condition holds of the bytes waiting to be read, which are nothing once the
  // server has let the connection go.
  template <typename Condition>
  bool wait_until(Condition condition) {
    for (int attempt = 0; attempt < 250; ++attempt) {
      DWORD available = 0;
      const bool connected = PeekNamedPipe(handle_, nullptr, 0, nullptr, &available, nullptr);
      if (condition(connected ? std::optional(available) : std::nullopt)) return true;
      Sleep(20);
    }
    return false;
  }

  HANDLE handle_;
};

class PipeServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = R"(\\.\pipe\VARLIN.ServerTest.)" + std::to_string(GetCurrentProcessId()) + "." +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    work_.emplace(io_.get_executor());
    for (int i = 0; i < 2; ++i) threads_.emplace_back([this] { io_.run(); });
  }

  void TearDown() override {
    sender_.reset();
    work_.reset();
    io_.stop();
    for (auto& thread : threads_) thread.join();
  }

  void start(PipeServerLimits limits = {}) {
    auto started = serve_pipe(io_.get_executor(), name_, handler_, limits);
    ASSERT_TRUE(started) << started.error().text();
    sender_.emplace(std::move(*started));
  }

  std::optional<std::string> exchange(std::string_view request) {
    auto client = Client::open(name_);
    if (!client || !client->write(request)) return std::nullopt;
    return client->read_reply();
  }

  // Whether the pipe name goes away (the server has closed its last instance) within the bound.
  bool pipe_gone() {
    const auto wide = to_wide(name_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      HANDLE handle =
          CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) return true;
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
      Sleep(50);
    }
    return false;
  }

  // Whether the server lets its handler go (it has ended) within the bound.
  bool server_ended() {
    for (int attempt = 0; attempt < 100 && handler_.use_count() > 1; ++attempt) Sleep(20);
    return handler_.use_count() == 1;
  }

  std::string name_;
  std::shared_ptr<FakeHandler> handler_ = std::make_shared<FakeHandler>();
  asio::io_context io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::vector<std::thread> threads_;
  std::optional<ShutdownSender> sender_;
};

TEST_F(PipeServerTest, AnswersOneLinePerConnection) {
  start();
  struct Case {
    const char* name;
    std::string request;
    std::string reply;
  } cases[] = {
      {"line", "{}\n", "size:3\n"},
      {"bytes after the line feed ignored", "{}\r\nsecond\n", "size:4\n"},
      {"longest line", std::string(65535, 'a') + "\n", "size:65536\n"},
      {"one byte too many", std::string(65537, 'a'), "error:metadata request is too large\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(exchange(c.request), c.reply) << c.name;
}

TEST_F(PipeServerTest, ServesClientsInParallel) {
  start();
  auto held = Client::open(name_);
  ASSERT_TRUE(held && held->write("hold\n"));
  std::vector<std::thread> clients;
  std::atomic<int> answered = 0;
  for (int i = 0; i < 8; ++i)
    clients.emplace_back([&, i] {
      if (exchange(std::string(i, 'x') + "\n") == "size:" + std::to_string(i + 1) + "\n") ++answered;
    });
  for (auto& client : clients) client.join();
  EXPECT_EQ(answered, 8);
  EXPECT_EQ(handler_->held, 1);
}

TEST_F(PipeServerTest, ClientThatClosesAtOnceLeavesTheServerServing) {
  start();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Client::open(name_));
  EXPECT_EQ(exchange("{}\n"), "size:3\n");
  for (int attempt = 0; attempt < 100 && handler_->errors().size() < 3; ++attempt) Sleep(20);
  EXPECT_EQ(handler_->errors(), std::vector<std::string>(3, "empty metadata request"));
}

TEST_F(PipeServerTest, RequestWithoutLineFeedIsRefusedAfterItsTime) {
  start({.request_time = 300ms});
  auto silent = Client::open(name_);
  ASSERT_TRUE(silent && silent->write("{\"version\":1"));
  // Bytes that keep coming, one at a time from several threads and faster than the server takes them,
  // so that the time mostly runs out between two reads; never as many as make the request too large.
  auto streaming = Client::open(name_);
  ASSERT_TRUE(streaming);
  std::atomic<bool> answered = false;
  std::atomic<int> sent = 0;
  std::vector<std::thread> streams;
  for (int i = 0; i < 3; ++i)
    streams.emplace_back([&] {
      while (!answered && sent++ < 60000 && streaming->write(" ")) {
      }
    });
  EXPECT_EQ(exchange("{}\n"), "size:3\n");
  EXPECT_EQ(silent->read_reply(), "error:metadata request did not arrive in time\n");
  EXPECT_EQ(streaming->read_reply(), "error:metadata request did not arrive in time\n");
  answered = true;
  for (auto& stream : streams) stream.join();
}

TEST_F(PipeServerTest, ClientThatDoesNotReadItsReplyIsLetGoAfterTheReplyTime) {
  start({.reply_time = 300ms});
  // A reply that fits the pipe's buffer, and one that does not, so that its write cannot finish.
  for (const char* request : {"{}\n", "big\n"}) {
    auto stalled = Client::open(name_);
    ASSERT_TRUE(stalled && stalled->write(request)) << request;
    ASSERT_TRUE(stalled->wait_until_reply_waits()) << request;
    EXPECT_EQ(exchange("{}\n"), "size:3\n") << request;
    EXPECT_TRUE(stalled->wait_until_let_go()) << request;
    EXPECT_EQ(exchange("{}\n"), "size:3\n") << request;
  }
}

TEST_F(PipeServerTest, ClientsThatReadUntilTheServerClosesAreAnsweredAtOnce) {
  start();
  const std::string big_reply = std::string(300000, 'b') + "\n";
  int replies = 0;
  const auto started = std::chrono::steady_clock::now();
  for (const auto end : {pipe_io::ReplyEnd::closed, pipe_io::ReplyEnd::line_feed}) {
    for (int round = 0; round < 3; ++round) {
      for (const std::string request : {"{}\n", "big\n"}) {
        const auto reply = pipe_io::request_reply(to_wide(name_), request, end, kWaitMs, kWaitMs);
        ASSERT_TRUE(reply) << request;
        EXPECT_EQ(*reply, request == "big\n" ? big_reply : "size:3\n");
        ++replies;
      }
    }
  }
  // A guard, not a benchmark: waiting for a reader to close before disconnecting took seconds a reply.
  EXPECT_LT(std::chrono::steady_clock::now() - started, replies * 500ms);
}

TEST_F(PipeServerTest, ReplyReachesAClientThatReadsLate) {
  start();
  for (const char* request : {"{}\n", "big\n"}) {
    auto client = Client::open(name_);
    ASSERT_TRUE(client && client->write(request));
    Sleep(300);
    const auto reply = client->read_reply();
    ASSERT_TRUE(reply) << request;
    EXPECT_EQ(reply->size(), request[0] == 'b' ? 300001u : 7u) << request;
    EXPECT_EQ(reply->back(), '\n') << request;
  }
}

TEST_F(PipeServerTest, FailingHandlerLeavesTheServerServing) {
  start();
  EXPECT_EQ(exchange("throw\n"), "");
  EXPECT_EQ(exchange("{}\n"), "size:3\n");
}

TEST_F(PipeServerTest, ShutdownAbortsClientsInFlight) {
  for (bool send : {true, false}) {
    SCOPED_TRACE(send ? "sent" : "released");
    handler_ = std::make_shared<FakeHandler>();
    start({.request_time = 1h, .reply_time = 1h});
    auto held = Client::open(name_);
    auto silent = Client::open(name_);
    auto not_reading = Client::open(name_);
    ASSERT_TRUE(held && held->write("hold\n") && silent && silent->write("{"));
    ASSERT_TRUE(not_reading && not_reading->write("{}\n") && not_reading->wait_until_reply_waits());
    for (int i = 0; i < 100 && handler_->held == 0; ++i) Sleep(20);
    ASSERT_EQ(handler_->held, 1);
    if (send)
      sender_->send();
    else
      sender_.reset();
    EXPECT_EQ(held->read_reply(), "");
    EXPECT_EQ(silent->read_reply(), "");
    EXPECT_TRUE(not_reading->wait_until_let_go());
    EXPECT_TRUE(pipe_gone());
    EXPECT_TRUE(server_ended());
    EXPECT_EQ(handler_->cancelled, 1);
    sender_.reset();
  }
}

TEST(MetadataPipeServer, RepliesOnTheMountsPipe) {
  asio::io_context io;
  auto work = asio::make_work_guard(io);
  std::thread runner([&] { io.run(); });
  const auto mount_id = static_cast<std::uint32_t>(0xC0000000u | GetCurrentProcessId());
  filesystem::MetadataCache cache(std::chrono::seconds(30));
  cache.insert("/QSYS.LIB/L.LIB/F.FILE/M.MBR",
               MetadataResult{.path = "/QSYS.LIB/L.LIB/F.FILE/M.MBR",
                              .properties = {FileProperties::Member{.member = "M", .ccsid = 37}}});
  // Without connections: both answers must come without the IBM i.
  auto started = serve_metadata_pipe(
      io.get_executor(), PipeState{.remote_root = "/", .metadata_cache = cache, .command = {}, .ifs = {}},
      mount_id);
  ASSERT_TRUE(started) << started.error().text();
  const auto id = metadata_pipe_name(mount_id).substr(kPipeNamePrefix.size());
  const std::pair<std::string, std::string> exchanges[] = {
      {R"({"version":1,"method":"getFileProperties","path":"QSYS.LIB\\L.LIB\\F.FILE\\M.MBR"})"
       "\n",
       R"(","ok":true,"result":{"path":"/QSYS.LIB/L.LIB/F.FILE/M.MBR","properties":{"path":"","library":"",)"
       R"("sourceFile":"","member":"M","sourceType":"","ccsid":37,"recordLength":0,"description":""}}})"},
      {R"({"version":1,"method":"getFileProperties","path":"home/a.txt"})"
       "\n",
       R"(","ok":false,"code":"invalidRequest","error":"path is not an IBM i source member or typed object"})"},
      {std::string(65537, ' '),
       R"(","ok":false,"code":"invalidRequest","error":"metadata request is too large"})"},
  };
  for (const auto& [request, reply] : exchanges) {
    auto client = Client::open(metadata_pipe_name(mount_id));
    ASSERT_TRUE(client && client->write(request));
    EXPECT_EQ(client->read_reply(), R"({"version":1,"mountId":")" + id + reply + "\n");
  }
  started->send();
  work.reset();
  runner.join();
}

TEST_F(PipeServerTest, SecondServerWithTheSameNameIsRefused) {
  start();
  auto second = serve_pipe(io_.get_executor(), name_, handler_);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().system_code().value(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(exchange("{}\n"), "size:3\n");
}

}  // namespace
}  // namespace varlin::metadata_pipe
