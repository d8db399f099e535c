#include "shared/keyed_hash.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varlin::filesystem {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Reference values from CPython 3.11, whose bytes hash is SipHash-1-3 with an all-zero key when
// PYTHONHASHSEED=0: hash(b) & (2**64 - 1).
TEST(Siphash13, MatchesAnIndependentImplementation) {
  struct Case {
    std::string bytes;
    std::uint64_t hash;
  };
  std::string fifteen;
  for (char c = 0; c < 15; ++c) fifteen.push_back(c);
  const Case cases[] = {
      {"a", 4644417185603328019u},
      {"abcdefgh", 4574395652268504554u},
      {"hello world, this is sip", 344045073873479812u},
      {fifteen, 17514137373579004394u},
  };
  for (const auto& c : cases) EXPECT_EQ(siphash13(0, 0, bytes_of(c.bytes)), c.hash) << c.bytes;
}

TEST(RandomlyKeyedHash, IsStablePerMapAndKeyedApartBetweenMaps) {
  const RandomlyKeyedHash first;
  const RandomlyKeyedHash second;
  std::vector<std::size_t> firsts;
  std::vector<std::size_t> seconds;
  for (const char* text : {"/qsys.lib/a.lib", "/home/user/x", ""}) {
    EXPECT_EQ(first(text), first(std::string(text)));
    firsts.push_back(first(text));
    seconds.push_back(second(text));
  }
  EXPECT_NE(firsts, seconds);
}

}  // namespace
}  // namespace varlin::filesystem
