#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace morva::ccsid {

// The ASCII text of a job name's EBCDIC bytes as the file and remote-command servers send them.
// Letters, digits and the CCSID 37 specials map; every other byte becomes '.'. Never fails.
std::string decode_server_job_name(std::span<const std::uint8_t> bytes);

}  // namespace morva::ccsid
