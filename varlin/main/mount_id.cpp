#include "main/mount_id.hpp"

#include "metadata_pipe/mount_id_hash.hpp"

namespace varlin {

std::uint32_t default_mount_id(const Args& args) {
  return metadata_pipe::mount_id_hash(args.host, args.remote_root, args.mount_point);
}

std::uint32_t chosen_mount_id(const Args& args) {
  return args.mount_id ? *args.mount_id : default_mount_id(args);
}

}  // namespace varlin
