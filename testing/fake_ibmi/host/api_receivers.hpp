// The receiver variables of the IBM i APIs that the fake's remote-command server runs, filled from the
// tree in their published formats. Text fields are in the job's CCSID, padded with its blanks.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/host/host_state.hpp"

namespace fake_ibmi {

// A receiver cut to the length the caller gave, or the ID of the escape message that ended the API.
using ApiResult = std::expected<Bytes, std::string>;

// QUSRMBRD, format MBRD0100.
ApiResult member_description(const IfsTree& tree, std::string_view library, std::string_view file,
                             std::string_view member, std::uint16_t ccsid, std::uint32_t length);
// QDBRTVFD, format FILD0100.
ApiResult file_description(const IfsTree& tree, std::string_view library, std::string_view file,
                           std::uint32_t length);
// QUSROBJD, format OBJD0200; `type` with its '*', such as "*PGM".
ApiResult object_description(const IfsTree& tree, std::string_view library, std::string_view object,
                             std::string_view type, std::uint16_t ccsid, std::uint32_t length);
// QWCRSSTS, format SSTS0200.
Bytes system_status(const HostSettings& settings, std::uint32_t length);

}  // namespace fake_ibmi
