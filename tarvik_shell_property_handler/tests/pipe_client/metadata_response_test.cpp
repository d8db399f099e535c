#include "pipe_client/metadata_response.hpp"

#include <gtest/gtest.h>

#include <string>

#include "pipe_client/strict_json.hpp"

namespace tarvik {
namespace {

constexpr const char* kMemberReply =
    R"({"version":1,"mountId":"0000002A","ok":true,"result":{"path":"/QSYS.LIB/L.LIB/F.FILE/M.MBR",)"
    R"("properties":{"path":"/QSYS.LIB/L.LIB/F.FILE/M.MBR","library":"L","sourceFile":"F","member":"M",)"
    R"("sourceType":"RPGLE","ccsid":37,"recordLength":112,"description":"Order entry"}}})";

TEST(ReadMetadataResponse, ReadsTheMemberShape) {
  const auto response = read_metadata_response(kMemberReply);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->version, 1u);
  EXPECT_EQ(response->mount_id, "0000002A");
  EXPECT_TRUE(response->ok);
  EXPECT_EQ(response->code, std::nullopt);
  const MetadataResult expected{
      "/QSYS.LIB/L.LIB/F.FILE/M.MBR",
      {"/QSYS.LIB/L.LIB/F.FILE/M.MBR", "L", "F", "M", "RPGLE", 37, 112, "Order entry"}};
  EXPECT_EQ(response->result, expected);
}

TEST(ReadMetadataResponse, ReadsTheObjectShapesKnownKeysOnly) {
  const auto response = read_metadata_response(
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/QSYS.LIB/L.LIB/P.PGM","properties":)"
      R"({"path":"/QSYS.LIB/L.LIB/P.PGM","library":"L","object":"P","objectType":"PGM","attribute":"RPGLE",)"
      R"("owner":"QPGMR","asp":1,"created":"2024-01-02","changed":"2024-02-03","description":"Pay",)"
      R"("sourceFile":"QRPGLESRC","sourceLibrary":"L","sourceMember":"P"}}})");
  ASSERT_TRUE(response && response->result);
  const FileProperties expected{
      .path = "/QSYS.LIB/L.LIB/P.PGM", .library = "L", .source_file = "QRPGLESRC", .description = "Pay"};
  EXPECT_EQ(response->result->properties, expected);
}

TEST(ReadMetadataResponse, ReadsErrorRepliesAndSkipsUnknownKeys) {
  const auto response = read_metadata_response(
      R"({"version":1,"mountId":"0000002A","ok":false,"code":"invalidRequest","error":{"any":[1,null]},)"
      R"("later":true})");
  ASSERT_TRUE(response);
  EXPECT_FALSE(response->ok);
  EXPECT_EQ(response->code, "invalidRequest");
  EXPECT_EQ(response->result, std::nullopt);
}

TEST(ReadMetadataResponse, ReadsTheArrayForm) {
  const auto response =
      read_metadata_response(R"([1,"2A",true,["/p",["/q","L","F","M",null,37,0,"D"]],null])");
  ASSERT_TRUE(response && response->result);
  EXPECT_EQ(response->result->path, "/p");
  EXPECT_EQ(response->result->properties, (FileProperties{"/q", "L", "F", "M", std::nullopt, 37, 0, "D"}));
}

TEST(ReadMetadataResponse, NullStandsForAnAbsentOptionalField) {
  const auto response = read_metadata_response(
      R"({"version":1,"mountId":"2A","ok":true,"code":null,"result":{"path":"/p","properties":)"
      R"({"path":null,"ccsid":null,"recordLength":4294967295}}})");
  ASSERT_TRUE(response && response->result);
  EXPECT_EQ(response->code, std::nullopt);
  EXPECT_EQ(response->result->properties, (FileProperties{.record_length = 4294967295u}));
  const auto without_result =
      read_metadata_response(R"({"version":1,"mountId":"2A","ok":true,"result":null})");
  ASSERT_TRUE(without_result);
  EXPECT_EQ(without_result->result, std::nullopt);
}

TEST(ReadMetadataResponse, RefusesMalformedReplies) {
  const char* cases[] = {
      "",
      "not json",
      R"({"version":1,"mountId":"2A","ok":true} x)",
      R"({"version":1,"mountId":"2A"})",
      R"({"version":1,"ok":true})",
      R"({"mountId":"2A","ok":true})",
      R"({"version":null,"mountId":"2A","ok":true})",
      R"({"version":1,"mountId":42,"ok":true})",
      R"({"version":1,"mountId":"2A","ok":"true"})",
      R"({"version":-1,"mountId":"2A","ok":true})",
      R"({"version":1.0,"mountId":"2A","ok":true})",
      R"({"version":4294967296,"mountId":"2A","ok":true})",
      R"({"version":1,"version":1,"mountId":"2A","ok":true})",
      R"({"version":1,"mountId":"2A","ok":true,"error":"a","error":"b"})",
      R"({"version":1,"mountId":"2A","ok":false,"code":5})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p"}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"properties":{}}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{"ccsid":-5}}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{"recordLength":4294967296}}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{"member":7}}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{"path":"a","path":"b"}}})",
      R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":[]}})",
      R"([1,"2A",true,null])",
      R"([1,"2A",true,null,null,null])",
      R"("reply")",
      "5",
      "null",
      "{\"version\":1,\"mountId\":\"\\ud800\",\"ok\":true}",
  };
  for (const char* text : cases) EXPECT_EQ(read_metadata_response(text), std::nullopt) << text;
}

TEST(ReadMetadataResponse, AllowsWhiteSpaceAroundTheValue) {
  EXPECT_TRUE(read_metadata_response(" \t{\"version\":1,\"mountId\":\"2A\",\"ok\":false}\r\n "));
  EXPECT_TRUE(read_metadata_response("[1,\"2A\",false,null,\"connectionLost\"]\r"));
}

std::string nested_arrays(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

TEST(ReadStrictJson, LimitsNesting) {
  EXPECT_TRUE(read_strict_json(nested_arrays(128), 128));
  EXPECT_FALSE(read_strict_json(nested_arrays(129), 128));
  const std::string deep_in_skipped_key =
      R"({"version":1,"mountId":"2A","ok":false,"error":)" + nested_arrays(127) + "}";
  EXPECT_TRUE(read_metadata_response(deep_in_skipped_key));
  const std::string too_deep =
      R"({"version":1,"mountId":"2A","ok":false,"error":)" + nested_arrays(128) + "}";
  EXPECT_FALSE(read_metadata_response(too_deep));
}

TEST(ReadStrictJson, BuildsTheDocument) {
  const auto document = read_strict_json(R"({"a":[1,{"b":null},"c"],"d":{"e":-2.5}})", 8);
  ASSERT_TRUE(document);
  EXPECT_EQ(*document, nlohmann::json::parse(R"({"a":[1,{"b":null},"c"],"d":{"e":-2.5}})"));
  EXPECT_FALSE(read_strict_json(R"({"a":{"b":1,"b":1}})", 8));
  EXPECT_TRUE(read_strict_json(R"([{"b":1},{"b":1}])", 8));
}

TEST(ReplyLine, EndsAtTheFirstLineFeed) {
  EXPECT_EQ(reply_line("{}\n{\"second\":1}\n"), "{}");
  EXPECT_EQ(reply_line("{}"), "{}");
  EXPECT_EQ(reply_line("{}\r\n"), "{}\r");
  EXPECT_EQ(reply_line("\n{}"), "");
}

TEST(ParseMountId, ReadsHexadecimalDigits) {
  const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
      {"0000002A", 0x2A},
      {"2a", 0x2A},
      {"0x2A", 0x2A},
      {"0x0x2A", 0x2A},
      {"+2A", 0x2A},
      {"0x+2A", 0x2A},
      {"FFFFFFFF", 0xFFFFFFFF},
      {"000000000001", 1},
      {"0X2A", std::nullopt},
      {"2A0", 0x2A0},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"+", std::nullopt},
      {"-2A", std::nullopt},
      {"++2A", std::nullopt},
      {"+0x2A", std::nullopt},
      {"2A ", std::nullopt},
      {" 2A", std::nullopt},
      {"100000000", std::nullopt},
      {"2G", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_mount_id(text), expected) << text;
}

}  // namespace
}  // namespace tarvik
