// A fake IBM i described in JSON: its users, settings and tree, for the standalone server.
//
//   {
//     "users": {"DEMO": "demo"},                   user profile: password
//     "password_level": 2,                         0 to 3
//     "command_ccsid": 277,                        the text CCSID of the API receivers
//     "directories": ["/home/demo/projects"],
//     "files": [{"path": "/home/demo/readme.txt", "text": "Hello\n", "ccsid": 1208}],
//     "libraries": [{
//       "name": "DEMOLIB", "description": "Demo library",
//       "source_files": [{"name": "QCLSRC", "record_length": 92, "ccsid": 277, "description": "...",
//         "members": [{"name": "HELLO", "source_type": "CLP", "description": "...", "lines": ["PGM"]}]}],
//       "data_files": [{"name": "CUSTOMERS", "record_length": 120}],
//       "objects": [{"name": "HELLO", "type": "PGM", "attribute": "CLP", "owner": "DEMO",
//         "description": "...", "source_file": "QCLSRC", "source_library": "DEMOLIB",
//         "source_member": "HELLO"}]
//     }]
//   }
//
// Every key is optional apart from names and paths; an unknown key is an error, so a typo is not
// silently ignored.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "fake_ibmi/host/host_state.hpp"
#include "fake_ibmi/host/tree.hpp"

namespace fake_ibmi {

struct HostDescription {
  IfsTree tree;
  HostSettings settings;
};

// The description in the text, or an error naming the place and what is wrong there.
std::expected<HostDescription, std::string> parse_host_description(std::string_view json);
std::expected<HostDescription, std::string> read_host_description(const std::string& path);

// The built-in demo: user DEMO with password "demo", a home directory and library DEMOLIB with CL and
// RPG sources and the programs made from them.
std::string_view demo_host_description();

}  // namespace fake_ibmi
