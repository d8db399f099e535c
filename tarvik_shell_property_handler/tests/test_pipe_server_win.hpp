// A stand-in for a mount's metadata pipe, written from the pipe's wire form: byte mode, one request line
// in and one reply line out per connection.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::testing {

struct PipeConnection {
  // false: reads nothing, so a long request fills the pipe and the client's write stalls.
  bool reads_request = true;
  // Written in turn after the request line arrived, with a short pause between them; none: the server
  // keeps the connection without answering until the client leaves.
  std::vector<std::string> replies{};
  // false: disconnects right after the replies instead of waiting for the client to leave.
  bool waits_for_client = true;
};

// Serves the connections of the script in turn on the named pipe, each on its own instance; the next
// instance listens before the current connection is served, as a real server's would. Every wait is
// bounded, and destruction ends any that is under way.
class TestPipeServer {
 public:
  TestPipeServer(const std::string& pipe_name, std::vector<PipeConnection> script);
  TestPipeServer(const TestPipeServer&) = delete;
  TestPipeServer& operator=(const TestPipeServer&) = delete;
  ~TestPipeServer();

  // The request lines received so far, each as its bytes up to and including the line feed.
  std::vector<std::string> requests();
  // Waits (bounded) until every scripted connection has been served; false when not.
  bool wait_until_served();

 private:
  void serve();
  bool serve_connection(HANDLE pipe, const PipeConnection& connection);

  std::wstring name_;
  std::vector<PipeConnection> script_;
  HANDLE stop_;
  HANDLE served_;
  HANDLE first_instance_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// Helper for tests: the UTF-8 name as the wide text Windows takes.
std::wstring wide(const std::string& text);

}  // namespace tarvik::testing
