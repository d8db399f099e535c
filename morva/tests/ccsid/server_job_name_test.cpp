#include "morva/ccsid/server_job_name.hpp"

#include <gtest/gtest.h>

#include "fake_ibmi/hex.hpp"

namespace morva::ccsid {
namespace {

using fake_ibmi::from_hex;

TEST(DecodeServerJobName, MapsEachByteOnItsOwn) {
  const struct {
    std::string_view bytes;
    std::string_view name;
  } cases[] = {
      {"F0F1F2F3F4F5 61 D8E4E2C5D9 61 D8D7E9D9E3E2C5D9E5 4040", "012345/QUSER/QPZRTSERV  "},
      {"818283848586878889 919293949596979899 A2A3A4A5A6A7A8A9", "abcdefghijklmnopqrstuvwxyz"},
      {"C1C2C3C4C5C6C7C8C9 D1D2D3D4D5D6D7D8D9 E2E3E4E5E6E7E8E9", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {"F6F7F8F9", "6789"},
      // CCSID 37 specials, not those of CCSID 277.
      {"40 4B 61 6D 4D 4E 50 5A 5B 5D 60 6B 6F 7A 7B 7C 7D 7E 7F", " ./_(+&!$)-,?:#@'=\""},
      // Everything else, neighbours of the mapped runs included.
      {"00 15 25 41 4A 4C 4F 5C 5E 5F 62 6A 6C 6E 79 80 8A 90 9A A1 AA C0 CA D0 DA E0 E1 EA FA FF",
       ".............................."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(decode_server_job_name(from_hex(c.bytes)), c.name) << c.bytes;
}

}  // namespace
}  // namespace morva::ccsid
