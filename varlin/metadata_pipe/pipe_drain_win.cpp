#include "metadata_pipe/pipe_drain_win.hpp"

#include <asio/experimental/as_tuple.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/windows/object_handle.hpp>

#include <memory>
#include <system_error>

namespace varlin::metadata_pipe {

namespace {

// FlushFileBuffers on the server end of a pipe returns once the client has read everything, and blocks
// until then. It runs on the system's thread pool with handles of its own, so it may outlast the caller.
struct Flush {
  HANDLE pipe = nullptr;
  HANDLE done = nullptr;

  ~Flush() {
    if (pipe) CloseHandle(pipe);
    if (done) CloseHandle(done);
  }
};

void CALLBACK flush_on_pool(PTP_CALLBACK_INSTANCE, void* context) {
  const std::unique_ptr<Flush> flush(static_cast<Flush*>(context));
  FlushFileBuffers(flush->pipe);
  SetEvent(flush->done);
}

HANDLE duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return nullptr;
  return copy;
}

morva::Error last_error() {
  return morva::Error::system({static_cast<int>(GetLastError()), std::system_category()});
}

}  // namespace

asio::awaitable<morva::Result<void>> wait_until_drained(asio::windows::stream_handle& pipe) {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event) co_return std::unexpected(last_error());
  asio::windows::object_handle done(pipe.get_executor(), event);
  auto flush = std::make_unique<Flush>();
  flush->pipe = duplicate(pipe.native_handle());
  if (flush->pipe) flush->done = duplicate(event);
  if (!flush->done || !TrySubmitThreadpoolCallback(flush_on_pool, flush.get(), nullptr))
    co_return std::unexpected(last_error());
  flush.release();  // the pool's now
  auto [error] = co_await done.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
  if (error) co_return std::unexpected(morva::Error::system(error));
  co_return morva::Result<void>{};
}

}  // namespace varlin::metadata_pipe
