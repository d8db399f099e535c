#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morva::server {

// The IFS path of a typed object shown as "/QSYS.LIB/lib/object[.attribute].type", e.g.
// "/qsys.lib/mylib/mypgm.clp.pgm" gives "/QSYS.LIB/mylib.LIB/mypgm.PGM". Libraries and members are
// not objects here.
std::optional<std::string> object_path_from_display(std::string_view path);

// The IFS path to send to the file service for a path as the mount shows it: typed objects as above,
// libraries and files under "/QSYS.LIB" with their suffixes back; any other path unchanged.
std::string resolve_remote_path(std::string_view path);

}  // namespace morva::server
