#pragma once

#include <string>

#include "morva/command/command_client.hpp"
#include "morva/ifs/client.hpp"
#include "shared/connection_lock.hpp"
#include "shared/metadata_cache.hpp"

namespace varlin::metadata_pipe {

// What the metadata pipe shares with the mount: its remote root, its metadata cache and its two
// IBM i connections. Each client task works on a copy.
struct PipeState {
  std::string remote_root;
  filesystem::MetadataCache metadata_cache;
  filesystem::SharedConnection<morva::command::CommandClient> command;
  filesystem::SharedConnection<morva::ifs::IfsClient> ifs;
};

}  // namespace varlin::metadata_pipe
