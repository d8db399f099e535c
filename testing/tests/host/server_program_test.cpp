// fake_ibmi_server run as a program, as the demo and the end-to-end tests run it.
#include <gmock/gmock.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host_session.hpp"

extern char** environ;

namespace fake_ibmi::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// The server program (or a program that starts it) with pipes for its standard input, output and error.
class ServerProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& arguments, const char* program = FAKE_IBMI_SERVER) {
    int input[2], output[2], errors[2];
    if (pipe(input) != 0 || pipe(output) != 0 || pipe(errors) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    for (const int fd : {input[1], output[0], errors[0]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {input[0], output[1], errors[1]}) close(fd);
    input_ = input[1];
    output_ = output[0];
    errors_ = errors[0];
  }

  ~ServerProcess() {
    if (pid_ > 0 && !exit_code_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {input_, output_, errors_}) {
      if (fd >= 0) close(fd);
    }
  }

  // One line of standard output, or nothing when none comes within the time limit.
  std::optional<std::string> read_line() {
    std::string line;
    char c = 0;
    while (wait_readable(output_) && read(output_, &c, 1) == 1) {
      if (c == '\n') return line;
      line.push_back(c);
    }
    return std::nullopt;
  }

  std::string read_output() { return read_to_end(output_); }
  std::string read_errors() { return read_to_end(errors_); }

  void close_input() {
    close(input_);
    input_ = -1;
  }

  void signal(int number) { kill(pid_, number); }

  // The exit code, or nothing when the program is still running after the time limit.
  std::optional<int> wait() {
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exit_code_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }

 private:
  static bool wait_readable(int fd) {
    pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
    return poll(&ready, 1, static_cast<int>(kTimeLimit.count() * 1000)) == 1;
  }

  static std::string read_to_end(int fd) {
    std::string text;
    char buffer[256];
    ssize_t got = 0;
    while (wait_readable(fd) && (got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::optional<int> exit_code_;
};

const std::vector<std::string> kAnyPorts = {"--address",   "127.0.0.1", "--signon-port",  "0",
                                            "--file-port", "0",         "--command-port", "0"};

HostPorts ready_ports(ServerProcess& server) {
  const auto line = server.read_line();
  EXPECT_TRUE(line) << "no ready line";
  HostPorts ports;
  unsigned signon = 0, file = 0, command = 0;
  if (line && std::sscanf(line->c_str(), "fake IBM i ready: address=127.0.0.1 signon=%u file=%u command=%u",
                          &signon, &file, &command) == 3) {
    ports = {static_cast<std::uint16_t>(signon), static_cast<std::uint16_t>(file),
             static_cast<std::uint16_t>(command)};
  } else {
    ADD_FAILURE() << "ready line: " << line.value_or("");
  }
  return ports;
}

// Signs on and lists a directory, as varlin.exe does first.
morva::Result<std::vector<morva::ifs::IfsEntry>> list_as(const HostPorts& ports, std::string_view user,
                                                         std::string_view password, std::string directory) {
  asio::io_context io;
  const auto credentials =
      run_bounded(io, morva::command::sign_on("127.0.0.1", ports.signon, user, morva::Secret(password)));
  if (!credentials) return std::unexpected(credentials.error());
  auto client =
      run_bounded(io, morva::ifs::IfsClient::connect("127.0.0.1", ports.file, credentials->user,
                                                     credentials->password, credentials->password_level));
  if (!client) return std::unexpected(client.error());
  return run_bounded(io, client->list_directory(std::move(directory)));
}

TEST(FakeServerProgram, ServesTheDemoUntilItsInputEnds) {
  ServerProcess server(kAnyPorts);
  const HostPorts ports = ready_ports(server);
  const auto members = list_as(ports, "demo", "demo", "/QSYS.LIB/DEMOLIB.LIB/QCLSRC.FILE");
  ASSERT_TRUE(members) << members.error().text();
  ASSERT_EQ(members->size(), 1u);
  EXPECT_EQ(members->front().name, "HELLO.MBR");
  server.close_input();
  EXPECT_EQ(server.wait(), 0);
}

TEST(FakeServerProgram, ServesADescribedTreeUntilItIsTerminated) {
  const auto path =
      std::filesystem::temp_directory_path() / ("fake_ibmi_tree_" + std::to_string(getpid()) + ".json");
  std::ofstream(path) << R"({"users": {"ALICE": "Wonder1"}, "directories": ["/alice/docs"]})";
  std::vector<std::string> arguments = kAnyPorts;
  arguments.insert(arguments.end(), {"--tree", path.string(), "--keep-stdin"});
  ServerProcess server(arguments);
  const HostPorts ports = ready_ports(server);
  std::filesystem::remove(path);
  const auto entries = list_as(ports, "ALICE", "Wonder1", "/alice");
  ASSERT_TRUE(entries) << entries.error().text();
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ(entries->front().name, "docs");
  server.close_input();
  EXPECT_TRUE(list_as(ports, "ALICE", "Wonder1", "/alice")) << "still serving after the end of its input";
  server.signal(SIGTERM);
  EXPECT_EQ(server.wait(), 0);
}

TEST(FakeServerProgram, StopsOnceItsStopFileExists) {
  const auto stop_file =
      std::filesystem::temp_directory_path() / ("fake_ibmi_stop_" + std::to_string(getpid()));
  std::vector<std::string> arguments = kAnyPorts;
  arguments.insert(arguments.end(), {"--keep-stdin", "--stop-file", stop_file.string()});
  ServerProcess server(arguments);
  const HostPorts ports = ready_ports(server);
  EXPECT_TRUE(list_as(ports, "demo", "demo", "/home"));
  std::ofstream{stop_file};
  EXPECT_EQ(server.wait(), 0);
  std::filesystem::remove(stop_file);
}

TEST(FakeServerProgram, AnswersNothingWhileItsSilenceFileExists) {
  const auto silence_file =
      std::filesystem::temp_directory_path() / ("fake_ibmi_silence_" + std::to_string(getpid()));
  std::ofstream{silence_file};
  std::vector<std::string> arguments = kAnyPorts;
  arguments.insert(arguments.end(), {"--silence-file", silence_file.string()});
  ServerProcess server(arguments);
  const HostPorts ports = ready_ports(server);
  EXPECT_EQ(server.read_line(), "fake IBM i fell silent");
  asio::io_context io;
  const auto unanswered = run_bounded(
      io, morva::command::sign_on("127.0.0.1", ports.signon, "demo", morva::Secret(std::string_view("demo")),
                                  {.time_limit = std::chrono::milliseconds(200)}));
  ASSERT_FALSE(unanswered);
  EXPECT_EQ(unanswered.error().io_kind(), morva::IoErrorKind::timed_out) << unanswered.error().text();

  std::filesystem::remove(silence_file);
  EXPECT_EQ(server.read_line(), "fake IBM i answers again");
  EXPECT_TRUE(list_as(ports, "demo", "demo", "/home"));
  std::ofstream{silence_file};
  EXPECT_EQ(server.read_line(), "fake IBM i fell silent");
  server.close_input();
  EXPECT_EQ(server.wait(), 0);
  std::filesystem::remove(silence_file);
}

TEST(FakeServerProgram, EndsWithTheProcessThatStartedIt) {
  // A shell starts the server and waits for its own input to end; the server outlives it briefly.
  std::string command = std::string(FAKE_IBMI_SERVER) + " --exit-with-parent --keep-stdin";
  for (const std::string& argument : kAnyPorts) command += " " + argument;
  ServerProcess shell({"-c", command + " & cat >/dev/null"}, "/bin/sh");
  const HostPorts ports = ready_ports(shell);
  EXPECT_TRUE(list_as(ports, "demo", "demo", "/home"));
  shell.close_input();
  EXPECT_EQ(shell.wait(), 0);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(shell.read_line()) << "the server's end of the output is closed once it has ended";
  EXPECT_LT(std::chrono::steady_clock::now() - started, kTimeLimit);
  EXPECT_FALSE(list_as(ports, "demo", "demo", "/home"));
}

TEST(FakeServerProgram, AnswersHelpAndReportsWhatKeepsItFromServing) {
  FakeHost occupying{IfsTree(), HostSettings()};
  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
    bool on_standard_output;
    std::string text;  // part of what the program writes; the other stream stays empty
  };
  const Case cases[] = {
      {{"--help"}, 0, true, "usage: fake_ibmi_server [--address ADDRESS]"},
      {{"--keep-stdin", "--help", "--tree"}, 0, true, "[--silence-file FILE] [--help]\nServes a fake IBM i"},
      {{"--port", "1"}, 2, false, "fake_ibmi_server: unknown option --port\nusage: fake_ibmi_server"},
      {{"--file-port", "70000"}, 2, false, "invalid port 70000"},
      {{"--tree"}, 2, false, "missing value of --tree"},
      {{"--tree", "/nonexistent/tree.json"}, 1, false, "cannot read /nonexistent/tree.json"},
      {{"--address", "127.0.0.1", "--signon-port", std::to_string(occupying.ports().signon)},
       1,
       false,
       "cannot serve on 127.0.0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ServerProcess server(c.arguments);
    EXPECT_EQ(server.wait(), c.exit_code);
    const std::string output = server.read_output();
    const std::string errors = server.read_errors();
    EXPECT_THAT(c.on_standard_output ? output : errors, HasSubstr(c.text));
    EXPECT_EQ(c.on_standard_output ? errors : output, "");
  }
}

}  // namespace
}  // namespace fake_ibmi::testing
