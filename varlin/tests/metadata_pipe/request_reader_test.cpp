#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "metadata_pipe/request.hpp"

namespace varlin::metadata_pipe {
namespace {

using ::testing::HasSubstr;

std::string repeated(std::string_view text, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += text;
  return out;
}

// A request whose first member is skipped and nests `levels` arrays inside the request's object.
std::string request_with_nested_extra(std::size_t levels) {
  return R"({"extra":)" + repeated("[", levels) + repeated("]", levels) +
         R"(,"version":1,"method":"getFileProperties","path":"a"})";
}

TEST(RequestDeserialize, ReadsTheObjectAndArrayForms) {
  const Request usual{.version = 1, .method = "getFileProperties", .path = R"(QSYS.LIB\X.LIB)"};
  const struct {
    std::string line;
    Request request;
  } cases[] = {
      {R"({"version":1,"method":"getFileProperties","path":"QSYS.LIB\\X.LIB"})", usual},
      {R"({"version":1,"method":"getFileProperties","path":"QSYS.LIB\\X.LIB"})"
       "\n",
       usual},
      {" \t{\"version\":1,\"method\":\"getFileProperties\",\"path\":\"QSYS.LIB\\\\X.LIB\"}\r\n", usual},
      {R"({"path":"QSYS.LIB\\X.LIB","method":"getFileProperties","version":1})", usual},
      {R"({"extra":{"version":[1,{"a":null}],"path":2},"version":1,"method":"getFileProperties",)"
       R"("Version":"x","x":1,"x":2,"path":"QSYS.LIB\\X.LIB"})",
       usual},
      {R"([1,"getFileProperties","QSYS.LIB\\X.LIB"])", usual},
      {R"({"version":2,"method":"other","path":""})", {.version = 2, .method = "other", .path = ""}},
      {R"({"version":4294967295,"method":"m","path":"p"})",
       {.version = 4294967295, .method = "m", .path = "p"}},
      {R"({"version":0,"method":"m","path":"p"})", {.version = 0, .method = "m", .path = "p"}},
      {R"({"version":1,"method":"m","path":"\u00e9\ud83d\ude00\/\n"})",
       {.version = 1, .method = "m", .path = "\xc3\xa9\xf0\x9f\x98\x80/\n"}},
      {request_with_nested_extra(127), {.version = 1, .method = "getFileProperties", .path = "a"}},
  };
  for (const auto& c : cases) {
    const auto request = Request::deserialize(c.line);
    ASSERT_TRUE(request.has_value()) << c.line << ": " << request.error().text();
    EXPECT_EQ(*request, c.request) << c.line;
  }
}

TEST(RequestDeserialize, RefusesWhatIsNotARequest) {
  const struct {
    std::string line;
    std::string message;
  } cases[] = {
      {"", "unexpected end of input"},
      {"\n", "unexpected end of input"},
      {R"({"version":1,"method":"m","path":"p"} x)", "expected end of input"},
      {R"({"version":1,"method":"m","path":"p"}{})", "expected end of input"},
      {R"({"version":1,"method":"m","path":"p"})"
       "\n"
       R"({"version":1,"method":"m","path":"p"})",
       "expected end of input"},
      {R"({"version":1,"version":1,"method":"m","path":"p"})", "duplicate field `version`"},
      {R"({"version":1,"method":"m","path":"p","path":"p"})", "duplicate field `path`"},
      {R"({"method":"m","path":"p"})", "missing field `version`"},
      {R"({"path":"p"})", "missing field `version`"},
      {R"({"version":1,"path":"p"})", "missing field `method`"},
      {R"({"version":1,"method":"m"})", "missing field `path`"},
      {R"({"VERSION":1,"method":"m","path":"p"})", "missing field `version`"},
      {R"([1,"m"])", "struct Request with 3 elements"},
      {R"([])", "struct Request with 3 elements"},
      {R"([1,"m","p","q"])", "struct Request has only 3 elements"},
      {"5", "expected struct Request"},
      {R"("text")", "expected struct Request"},
      {"true", "expected struct Request"},
      {"null", "expected struct Request"},
      {"-3", "expected struct Request"},
      {R"({"version":-1,"method":"m","path":"p"})", "expected u32"},
      {R"({"version":1.0,"method":"m","path":"p"})", "expected u32"},
      {R"({"version":1e0,"method":"m","path":"p"})", "expected u32"},
      {R"({"version":4294967296,"method":"m","path":"p"})", "expected u32"},
      {R"({"version":"1","method":"m","path":"p"})", "expected u32"},
      {R"({"version":null,"method":"m","path":"p"})", "expected u32"},
      {R"({"version":[1],"method":"m","path":"p"})", "expected u32"},
      {R"({"version":1,"method":null,"path":"p"})", "expected a string"},
      {R"({"version":1,"method":"m","path":{}})", "expected a string"},
      {R"({"version":1,"method":"m","path":7})", "expected a string"},
      {R"(["1","m","p"])", "expected u32"},
      {R"([1,"m",["p"]])", "expected a string"},
      {R"({"version":1,"method":"m","path":"\ud800"})", "surrogate"},
      {"{\"version\":1,\"method\":\"m\",\"path\":\"\xff\"}", "UTF-8"},
      {"{\"version\":1,\"method\":\"m\",\"path\":\"a\tb\"}", "control character"},
      {R"({"version":1,"method":"m","path":"p",})", "parse error"},
      {R"({"version":1,/*c*/"method":"m","path":"p"})", "parse error"},
      {R"({"version":01,"method":"m","path":"p"})", "parse error"},
      {R"({"version":1,"method":"m","path":"p")", "unexpected end of input"},
      {"{\"version\":1,\r\n\"version\":1}", "duplicate field `version` at line 2, column 9"},
      {"{\"version\":1,\n\"method\":\"m\"\n}", "missing field `path` at line 3, column 1"},
      {"[1,\"m\"]", "with 3 elements at line 1, column 7"},
      {"{\"version\":1,\n\"method\":\"m\",\n\"path\":x}", "at line 3, column 8"},
      {"\xEF\xBB\xBF{\"version\":1,\"method\":\"m\",\"path\":\"p\"}",
       "byte-order mark before the request at line 1, column 1"},
      {" \xEF\xBB\xBF{\"version\":1,\"method\":\"m\",\"path\":\"p\"}", "parse error at line 1, column 2"},
      {"{\"version\":1e400,\"method\":\"m\",\"path\":\"p\"}",
       "number overflow parsing '1e400' at line 1, column 16"},
      {"{\"version\":1,\n\"extra\":-1e999,\"method\":\"m\",\"path\":\"p\"}",
       "number overflow parsing '-1e999' at line 2, column 14"},
  };
  for (const auto& c : cases) {
    const auto request = Request::deserialize(c.line);
    ASSERT_FALSE(request.has_value()) << c.line;
    EXPECT_THAT(request.error().text(), HasSubstr(c.message)) << c.line;
    EXPECT_THAT(request.error().text(), HasSubstr("line ")) << c.line;
    EXPECT_THAT(request.error().text(), HasSubstr("column ")) << c.line;
  }
}

TEST(RequestDeserialize, BoundsTheNestingOfSkippedValues) {
  const std::string cases[] = {
      request_with_nested_extra(128),
      R"({"extra":)" + repeated("[", 50000),
      R"({"extra":)" + repeated(R"({"a":)", 50000),
  };
  for (const auto& line : cases) {
    const auto request = Request::deserialize(line);
    ASSERT_FALSE(request.has_value()) << line.substr(0, 40);
    EXPECT_THAT(request.error().text(), HasSubstr("deeper than 128 levels")) << line.substr(0, 40);
  }
}

}  // namespace
}  // namespace varlin::metadata_pipe
