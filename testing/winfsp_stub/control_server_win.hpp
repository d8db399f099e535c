#pragma once

#include <windows.h>

#include <string>
#include <thread>

#include "stub_winfsp.hpp"

namespace winfsp_stub {

// Serves the control pipe of one mounted file system: one request per connection, run on the
// dispatcher. It ends when destroyed or after a "stop" request has ended the dispatcher.
class ControlServer {
 public:
  ControlServer(StubWinFsp& winfsp, varlin::winfsp::FSP_FILE_SYSTEM* file_system, std::u16string pipe_name);
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  ~ControlServer();

 private:
  void serve();
  std::string answer(HANDLE pipe);

  StubWinFsp& winfsp_;
  varlin::winfsp::FSP_FILE_SYSTEM* file_system_;
  std::wstring pipe_name_;
  HANDLE stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread_;
};

}  // namespace winfsp_stub
