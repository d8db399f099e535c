#include <gtest/gtest.h>

#include "metadata_pipe/response.hpp"

namespace varlin::metadata_pipe {
namespace {

FileProperties::Member sample_member() {
  return {.path = "/QSYS.LIB/DEVLIB.LIB/QRPGLESRC.FILE/MBR1.MBR",
          .library = "DEVLIB",
          .source_file = "QRPGLESRC",
          .member = "MBR1",
          .source_type = "RPGLE",
          .ccsid = 37,
          .record_length = 112,
          .description = "Order entry"};
}

FileProperties::Object sample_object() {
  return {.path = "/QSYS.LIB/DEVLIB.LIB/ORDERS.PGM",
          .library = "DEVLIB",
          .object = "ORDERS",
          .object_type = "PGM",
          .attribute = "RPGLE",
          .owner = "QPGMR",
          .asp = 1,
          .created = "2024-01-02 03:04:05",
          .changed = "2024-02-03 04:05:06",
          .description = "Orders",
          .source_file = std::nullopt,
          .source_library = std::nullopt,
          .source_member = std::nullopt};
}

MetadataResponse success(FileProperties properties) {
  return {.version = 1,
          .mount_id = "0000002A",
          .ok = true,
          .result = MetadataResult{.path = "/home/dev/x", .properties = std::move(properties)},
          .code = std::nullopt,
          .error = std::nullopt};
}

FileProperties with_description(std::string description) {
  auto member = sample_member();
  member.description = std::move(description);
  return {member};
}

constexpr std::string_view kMemberText =
    R"({"path":"/QSYS.LIB/DEVLIB.LIB/QRPGLESRC.FILE/MBR1.MBR","library":"DEVLIB","sourceFile":"QRPGLESRC",)"
    R"("member":"MBR1","sourceType":"RPGLE","ccsid":37,"recordLength":112,"description":"Order entry"})";
constexpr std::string_view kObjectFront =
    R"({"path":"/QSYS.LIB/DEVLIB.LIB/ORDERS.PGM","library":"DEVLIB","object":"ORDERS","objectType":"PGM",)"
    R"("attribute":"RPGLE","owner":"QPGMR","asp":1,"created":"2024-01-02 03:04:05",)"
    R"("changed":"2024-02-03 04:05:06","description":"Orders")";

std::string success_text(std::string_view properties) {
  return R"({"version":1,"mountId":"0000002A","ok":true,"result":{"path":"/home/dev/x","properties":)" +
         std::string(properties) + "}}";
}

// The text with its one occurrence of `from` replaced by `to`.
std::string replaced(std::string_view text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  std::string out(text.substr(0, at));
  out += to;
  out += text.substr(at + from.size());
  return out;
}

std::string member_text_with_description(std::string_view description_json) {
  return success_text(replaced(kMemberText, R"("Order entry")", description_json));
}

TEST(WriteResponse, WritesEachReplyAsItsExactLine) {
  auto extreme_member = sample_member();
  extreme_member.ccsid = 65535;
  extreme_member.record_length = 0;
  auto max_member = sample_member();
  max_member.record_length = UINT64_MAX;
  auto one_source = sample_object();
  one_source.source_file = "QRPGLESRC";
  auto all_sources = sample_object();
  all_sources.source_file = "QRPGLESRC";
  all_sources.source_library = "SRCLIB";
  all_sources.source_member = "ORDERS";
  all_sources.asp = 0;
  auto empty_source = sample_object();
  empty_source.source_member = "";

  const struct {
    std::string name;
    MetadataResponse response;
    std::string line;
  } cases[] = {
      {"member", success({sample_member()}), success_text(kMemberText)},
      {"member numbers at their limits", success({extreme_member}),
       success_text(
           replaced(kMemberText, R"("ccsid":37,"recordLength":112)", R"("ccsid":65535,"recordLength":0)"))},
      {"largest record length", success({max_member}),
       success_text(replaced(kMemberText, "112", "18446744073709551615"))},
      {"object without source has ten keys", success({sample_object()}),
       success_text(std::string(kObjectFront) + "}")},
      {"object with only its source file", success({one_source}),
       success_text(std::string(kObjectFront) + R"(,"sourceFile":"QRPGLESRC"})")},
      {"object with all source fields", success({all_sources}),
       success_text(replaced(kObjectFront, R"("asp":1)", R"("asp":0)") +
                    R"(,"sourceFile":"QRPGLESRC","sourceLibrary":"SRCLIB","sourceMember":"ORDERS"})")},
      {"an empty source text is present, not absent", success({empty_source}),
       success_text(std::string(kObjectFront) + R"(,"sourceMember":""})")},
      {"invalid request",
       {.version = 1,
        .mount_id = "FFFFFFFF",
        .ok = false,
        .result = std::nullopt,
        .code = ResponseCode::invalid_request,
        .error = "empty metadata request"},
       R"({"version":1,"mountId":"FFFFFFFF","ok":false,"code":"invalidRequest","error":"empty metadata request"})"},
      {"connection lost", connection_lost_response(0xAB),
       R"({"version":1,"mountId":"000000AB","ok":false,"code":"connectionLost",)"
       R"("error":"IBM i metadata is not available; the connection was lost"})"},
      {"quotation mark, backslash and tab", success(with_description("say \"hi\"\\\there")),
       member_text_with_description(R"("say \"hi\"\\\there")")},
      {"named control escapes", success(with_description("\b\t\n\f\r")),
       member_text_with_description(R"("\b\t\n\f\r")")},
      {"other control characters in lower-case hex",
       success(with_description(std::string("\0\x01\x0b\x1a\x1f", 5))),
       member_text_with_description(R"("\u0000\u0001\u000b\u001a\u001f")")},
      {"solidus, DEL and non-ASCII unchanged",
       success(with_description("a/b\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")),
       member_text_with_description("\"a/b\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"")},
  };
  for (const auto& c : cases) {
    std::string out;
    write_response(c.response, out);
    EXPECT_EQ(out, c.line) << c.name;
  }
}

TEST(WriteResponse, AppendsToWhatTheBufferHolds) {
  const FileProperties properties{sample_member()};
  const MetadataResult result{.path = "/p", .properties = properties};

  std::string properties_out = "x";
  write_properties(properties, properties_out);
  EXPECT_EQ(properties_out, "x" + std::string(kMemberText));

  std::string result_out = "y";
  write_result(result, result_out);
  EXPECT_EQ(result_out, R"(y{"path":"/p","properties":)" + std::string(kMemberText) + "}");

  std::string response_out = "z";
  write_response(connection_lost_response(1), response_out);
  EXPECT_TRUE(response_out.starts_with(R"(z{"version":1,"mountId":"00000001",)")) << response_out;
}

}  // namespace
}  // namespace varlin::metadata_pipe
