#pragma once

#include <cstdint>
#include <string_view>

namespace varlin::metadata_pipe {

// A mount id derived from the host, the remote root and the mount point (ASCII case ignored); never 0.
std::uint32_t mount_id_hash(std::string_view host, std::string_view remote_root,
                            std::string_view mount_point);

}  // namespace varlin::metadata_pipe
