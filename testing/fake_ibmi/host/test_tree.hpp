// The tree and the settings that the tests of the fake, and of the clients that talk to it, start from.
#pragma once

#include <cstdint>
#include <string_view>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/host/host_state.hpp"
#include "fake_ibmi/host/tree.hpp"

namespace fake_ibmi {

inline constexpr std::string_view kTestUser = "TESTER";
inline constexpr std::string_view kTestPassword = "Secret1";

//   /home/tester/notes.txt, data.bin (100,000 bytes), empty/; /home/shared/locked.txt (access denied)
//   /QSYS.LIB/DEVLIB.LIB: QCLSRC.FILE (92, CCSID 277) with HELLO.MBR and EMPTY.MBR, QTXTSRC.FILE
//   (132, CCSID 1208) with NOTE.MBR, QNEWSRC.FILE without members, CUSTOMERS.FILE (a data file),
//   HELLO.PGM and SETTINGS.DTAARA.
IfsTree test_tree();
// User TESTER with password Secret1.
HostSettings test_settings(std::uint8_t password_level = 2);
Bytes data_bin();

}  // namespace fake_ibmi
