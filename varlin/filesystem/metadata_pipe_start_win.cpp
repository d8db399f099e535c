// Starting the mount's metadata pipe: Windows only, like the pipe server itself.
#include "filesystem/ifs_file_system.hpp"
#include "metadata_pipe/pipe_server_win.hpp"

namespace varlin::filesystem {

morva::Result<void> IfsFileSystem::start_metadata_pipe(std::uint32_t mount_id) {
  metadata_pipe::PipeState state{remote_root_, metadata_cache_, command_, ifs_};
  auto shutdown = metadata_pipe::serve_metadata_pipe(runtime_->executor(), std::move(state), mount_id);
  if (!shutdown) return std::unexpected(std::move(shutdown.error()));
  std::lock_guard lock(pipe_shutdown_mutex_);
  // A server started earlier stops when its sender goes.
  pipe_shutdown_ = std::move(*shutdown);
  return {};
}

}  // namespace varlin::filesystem
