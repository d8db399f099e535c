#pragma once

#include "pipe_client/metadata_response.hpp"

namespace tarvik::testing {

// A member's result as a mount gives it, with an empty source type and no record length.
inline const MetadataResult kSampleMember{"/result/path",
                                          {.path = "/QSYS.LIB/L.LIB/F.FILE/M.MBR",
                                           .library = "L",
                                           .source_file = "F",
                                           .member = "M",
                                           .source_type = "",
                                           .ccsid = 37,
                                           .description = "Hello \xC3\xA6"}};

}  // namespace tarvik::testing
