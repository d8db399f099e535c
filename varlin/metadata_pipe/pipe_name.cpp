#include "metadata_pipe/pipe_name.hpp"

#include <fmt/format.h>

namespace varlin::metadata_pipe {

std::string mount_id_text(std::uint32_t mount_id) {
  return fmt::format("{:08X}", mount_id);
}

std::string metadata_pipe_name(std::uint32_t mount_id) {
  return std::string(kPipeNamePrefix) + mount_id_text(mount_id);
}

}  // namespace varlin::metadata_pipe
