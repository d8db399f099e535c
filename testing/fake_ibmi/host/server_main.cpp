// fake_ibmi_server: a fake IBM i for the demo and for end-to-end tests of the mount program. It serves a
// tree described in JSON (the built-in demo by default) with the sign-on, file and remote-command
// servers on one address, prints one line when it is ready and stops on SIGINT, SIGTERM or the end
// of its standard input. A Windows program under Wine can hand a native child files but no pipes, so
// it can also be stopped by creating a file, and end with the process that started it. While a
// silence file exists, it reads requests and answers none, like an IBM i that stopped answering.
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "fake_ibmi/host/fake_host.hpp"
#include "fake_ibmi/host/host_description.hpp"

namespace {

constexpr std::string_view kUsage =
    "usage: fake_ibmi_server [--address ADDRESS] [--tree FILE.json] [--signon-port N] [--file-port N]\n"
    "                        [--command-port N] [--keep-stdin] [--stop-file FILE] [--exit-with-parent]\n"
    "                        [--silence-file FILE] [--help]\n"
    "Serves a fake IBM i on ADDRESS (127.0.0.2) at the IBM i ports (8476, 8473, 8475; 0 lets the system\n"
    "choose) until SIGINT, SIGTERM or the end of standard input (with --keep-stdin, signals only), once\n"
    "FILE exists, or (with --exit-with-parent) once the process that started it has ended. While the\n"
    "silence file exists, requests are read and none is answered.\n";

constexpr auto kWatchInterval = std::chrono::milliseconds(100);

struct Options {
  std::string address = "127.0.0.2";
  std::optional<std::string> tree;
  fake_ibmi::HostPorts ports = fake_ibmi::kIbmiPorts;
  bool watch_stdin = true;
  std::optional<std::string> stop_file;
  std::optional<std::string> silence_file;
  bool exit_with_parent = false;
  bool help = false;
};

std::optional<std::uint16_t> port_of(std::string_view text) {
  std::uint16_t port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return port;
}

// The options, or a message for standard error.
std::optional<Options> parse_options(int argc, char** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--keep-stdin") {
      options.watch_stdin = false;
      continue;
    }
    if (option == "--exit-with-parent") {
      options.exit_with_parent = true;
      continue;
    }
    if (option == "--help") {
      // Help is given whatever follows it.
      options.help = true;
      return options;
    }
    if (i + 1 == argc) {
      error = "missing value of " + std::string(option);
      return std::nullopt;
    }
    const std::string_view value = argv[++i];
    std::uint16_t* port = option == "--signon-port"    ? &options.ports.signon
                          : option == "--file-port"    ? &options.ports.file
                          : option == "--command-port" ? &options.ports.command
                                                       : nullptr;
    if (option == "--address") {
      options.address = value;
    } else if (option == "--tree") {
      options.tree = value;
    } else if (option == "--stop-file") {
      options.stop_file = value;
    } else if (option == "--silence-file") {
      options.silence_file = value;
    } else if (port != nullptr && port_of(value)) {
      *port = *port_of(value);
    } else {
      error =
          port != nullptr ? "invalid port " + std::string(value) : "unknown option " + std::string(option);
      return std::nullopt;
    }
  }
  return options;
}

bool exists(const std::optional<std::string>& file) {
  return file && access(file->c_str(), F_OK) == 0;
}

void announce_silence(bool silent) {
  std::printf(silent ? "fake IBM i fell silent\n" : "fake IBM i answers again\n");
  std::fflush(stdout);
}

// Makes the host silent while the silence file exists, saying so on a line when that changes.
void follow_silence_file(fake_ibmi::FakeHost& host, const Options& options, bool& silent) {
  if (exists(options.silence_file) == silent) return;
  silent = !silent;
  host.set_silent(silent);
  announce_silence(silent);
}

// Checks now and then whether the stop file exists or the parent has gone (the process is then
// adopted by another), and stops `io` when either happens; follows the silence file meanwhile.
void watch_files(asio::io_context& io, asio::steady_timer& timer, fake_ibmi::FakeHost& host,
                 const Options& options, pid_t parent, bool& silent) {
  timer.expires_after(kWatchInterval);
  timer.async_wait([&io, &timer, &host, &options, parent, &silent](std::error_code error) {
    if (error) return;
    const bool orphaned = options.exit_with_parent && getppid() != parent;
    if (exists(options.stop_file) || orphaned) {
      io.stop();
      return;
    }
    follow_silence_file(host, options, silent);
    watch_files(io, timer, host, options, parent, silent);
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = parse_options(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "fake_ibmi_server: %s\n%s", error.c_str(), kUsage.data());
    return 2;
  }
  if (options->help) {
    std::fputs(kUsage.data(), stdout);
    return 0;
  }
  auto description = options->tree ? fake_ibmi::read_host_description(*options->tree)
                                   : fake_ibmi::parse_host_description(fake_ibmi::demo_host_description());
  if (!description) {
    std::fprintf(stderr, "fake_ibmi_server: %s\n", description.error().c_str());
    return 1;
  }
  std::optional<fake_ibmi::FakeHost> host;
  try {
    host.emplace(std::move(description->tree), std::move(description->settings), options->address,
                 options->ports);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fake_ibmi_server: cannot serve on %s: %s\n", options->address.c_str(),
                 failure.what());
    return 1;
  }
  const fake_ibmi::HostPorts ports = host->ports();
  // Silent from the first request on when the file is there already.
  bool silent = exists(options->silence_file);
  host->set_silent(silent);
  std::printf("fake IBM i ready: address=%s signon=%u file=%u command=%u\n", options->address.c_str(),
              unsigned{ports.signon}, unsigned{ports.file}, unsigned{ports.command});
  std::fflush(stdout);
  if (silent) announce_silence(silent);

  asio::io_context io;
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&io](std::error_code, int) { io.stop(); });
  if (options->watch_stdin) {
    // A blocking read has no asynchronous form for every kind of standard input; this thread only
    // reports its end, and is left behind when the program exits.
    std::thread([&io] {
      char buffer[256];
      while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
      }
      asio::post(io, [&io] { io.stop(); });
    }).detach();
  }
  asio::steady_timer watch(io);
  if (options->stop_file || options->exit_with_parent || options->silence_file)
    watch_files(io, watch, *host, *options, getppid(), silent);
  io.run();
  host->stop();
  return 0;
}
