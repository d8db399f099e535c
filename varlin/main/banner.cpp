#include "main/banner.hpp"

#include <fmt/format.h>

#include "metadata_pipe/pipe_name.hpp"

namespace varlin {

std::string mount_banner(const Args& args, std::string_view remote_root, std::uint32_t mount_id) {
  return fmt::format(
      "Mounted IBM i {}:{} at {}\n"
      "Mount ID: {}; metadata pipe: {}\n"
      "Press Ctrl+C or send 'stop' on stdin to stop the mount.\n",
      args.host, remote_root, args.mount_point, metadata_pipe::mount_id_text(mount_id),
      metadata_pipe::metadata_pipe_name(mount_id));
}

}  // namespace varlin
