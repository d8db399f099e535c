#include "pipe_client/request_message.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(RequestMessage, IsOneCompactLineInKeyOrder) {
  EXPECT_EQ(request_message(R"(QSYS.LIB\L.LIB\F.FILE\M.rpgle)"),
            R"({"version":1,"method":"getFileProperties","path":"QSYS.LIB\\L.LIB\\F.FILE\\M.rpgle"})"
            "\n");
}

TEST(RequestMessage, EscapesThePathAsJson) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b", R"("a\"b")"},
      {"tab\there", R"("tab\there")"},
      {std::string("nul\0x", 5), R"("nul\u0000x")"},
      {"\x01\x1f", R"("\u0001\u001f")"},
      {"\b\f\n\r", R"("\b\f\n\r")"},
      {"a/b\x7f", "\"a/b\x7f\""},
      {"\xC3\xA6\xE2\x82\xAC.rpgle", "\"\xC3\xA6\xE2\x82\xAC.rpgle\""},
  };
  for (const auto& [path, escaped] : cases)
    EXPECT_EQ(request_message(path), R"({"version":1,"method":"getFileProperties","path":)" + escaped + "}\n")
        << path;
}

TEST(MetadataPipeName, EndsInEightUpperCaseDigits) {
  EXPECT_EQ(metadata_pipe_name(0x2A), R"(\\.\pipe\VARLIN.Metadata.0000002A)");
  EXPECT_EQ(metadata_pipe_name(0xFFFFFFFF), R"(\\.\pipe\VARLIN.Metadata.FFFFFFFF)");
  EXPECT_EQ(metadata_pipe_name(0xAB), R"(\\.\pipe\VARLIN.Metadata.000000AB)");
}

}  // namespace
}  // namespace tarvik
