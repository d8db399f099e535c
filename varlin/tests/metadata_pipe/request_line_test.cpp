#include "metadata_pipe/request_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varlin::metadata_pipe {
namespace {

constexpr std::size_t kLimit = RequestLineReader::kMaxRequestBytes;

// Feeds the chunks as a connection would hand them over, honouring the reader's read sizes.
morva::Result<std::string> read_line(const std::vector<std::string>& chunks, std::size_t buffer_size = 8192) {
  RequestLineReader reader;
  for (const auto& chunk : chunks) {
    std::size_t used = 0;
    while (used < chunk.size() && !reader.complete()) {
      const auto size = std::min(reader.next_read_size(buffer_size), chunk.size() - used);
      reader.take(std::string_view(chunk).substr(used, size));
      used += size;
    }
  }
  return std::move(reader).finish();
}

struct LineCase {
  const char* name;
  std::vector<std::string> chunks;
  morva::Result<std::string> expected;
};

TEST(RequestLineReader, Lines) {
  const std::string longest = std::string(kLimit - 2, 'a') + "\n";
  const LineCase cases[] = {
      {"one chunk", {"{}\n"}, "{}\n"},
      {"line feed in a later chunk", {"{\"a\"", ":1}", "\r\n"}, "{\"a\":1}\r\n"},
      {"bytes after the line feed dropped", {"{}\n{}\n", "more"}, "{}\n"},
      {"no line feed, data ended", {"{}"}, "{}"},
      {"only a line feed", {"\n"}, "\n"},
      {"nothing", {}, morva::fail("empty metadata request")},
      {"longest line", {longest}, longest},
      {"one byte too many", {std::string(kLimit, 'a')}, morva::fail("metadata request is too large")},
      {"line feed as the last allowed byte",
       {std::string(kLimit - 1, 'a') + "\n"},
       morva::fail("metadata request is too large")},
      {"line feed beyond the limit",
       {std::string(kLimit + 10, 'a') + "\n"},
       morva::fail("metadata request is too large")},
  };
  for (const auto& c : cases) EXPECT_EQ(read_line(c.chunks), c.expected) << c.name;
}

TEST(RequestLineReader, NeverAsksBeyondTheLimit) {
  RequestLineReader reader;
  std::size_t total = 0;
  while (!reader.complete()) {
    const auto size = reader.next_read_size(8192);
    ASSERT_GT(size, 0u);
    reader.take(std::string(size, 'x'));
    total += size;
  }
  EXPECT_EQ(total, kLimit);
  EXPECT_EQ(reader.next_read_size(8192), 0u);
}

}  // namespace
}  // namespace varlin::metadata_pipe
