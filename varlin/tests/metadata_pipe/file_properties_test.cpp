#include "metadata_pipe/file_properties.hpp"

#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include <chrono>
#include <optional>
#include <string>

namespace varlin::metadata_pipe {
namespace {

using namespace std::chrono_literals;
using Outcome = std::expected<MetadataResult, MetadataError>;

std::string request(std::string_view path, std::string_view method = "getFileProperties", int version = 1) {
  return R"({"version":)" + std::to_string(version) + R"(,"method":")" + std::string(method) +
         R"(","path":")" + std::string(path) + "\"}\n";
}

Outcome invalid(std::string message) {
  return std::unexpected(MetadataError{MetadataError::Invalid{std::move(message)}});
}

// A state without IBM i connections: every answer here must come without asking the IBM i.
class FilePropertiesTest : public testing::Test {
 protected:
  Outcome ask(std::string line, std::string remote_root = "/") {
    PipeState state{
        .remote_root = std::move(remote_root), .metadata_cache = cache_, .command = {}, .ifs = {}};
    asio::io_context io;
    std::optional<Outcome> outcome;
    asio::co_spawn(
        io,
        [&]() -> asio::awaitable<void> {
          outcome.emplace(co_await get_file_properties(std::move(line), std::move(state)));
        },
        [](std::exception_ptr failure) {
          if (failure) std::rethrow_exception(failure);
        });
    io.run();
    return std::move(*outcome);
  }

  filesystem::MetadataCache cache_{30s};
};

TEST_F(FilePropertiesTest, RefusesWhatItCannotServe) {
  struct Case {
    std::string line;
    std::string root;
    Outcome expected;
  };
  const Case cases[] = {
      {request("x", "other", 2), "/", invalid("unsupported metadata protocol version 2")},
      {request("x", "GetFileProperties"), "/", invalid("unsupported metadata method GetFileProperties")},
      {request(R"(C:\\x)"), "/", invalid("metadata path must be relative to the mounted volume")},
      {request(R"(\\)"), "/", invalid("metadata path must identify a file")},
      {request("docs/a.txt"), "/home/user", invalid("path is not an IBM i source member or typed object")},
      {request(R"(MYLIB.LIB)"), "/QSYS.LIB", invalid("path is not an IBM i source member or typed object")},
      {request(R"(QSYS.LIB\\LONGLIBRARY1.LIB\\QCLSRC.FILE\\HELLO.MBR)"), "/",
       invalid("IBM i name LONGLIBRARY1 is longer than 10 characters")},
      {request(R"(MYLIB.LIB\\HELLOWORLD1.PGM)"), "/QSYS.LIB",
       invalid("IBM i name HELLOWORLD1 is longer than 10 characters")},
      {R"({"version":1,"method":"getFileProperties"})", "/",
       invalid("missing field `path` at line 1, column 42")},
  };
  for (const auto& c : cases) EXPECT_EQ(ask(c.line, c.root), c.expected) << c.line;
}

TEST_F(FilePropertiesTest, AnswersFromTheCacheWithTheStoredPath) {
  const MetadataResult stored{.path = "/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/hello.clp",
                              .properties = {FileProperties::Member{
                                  .path = "/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/HELLO.MBR", .ccsid = 277}}};
  cache_.insert(stored.path, stored);
  EXPECT_EQ(ask(request(R"(qsys.lib\\mylib.lib\\qclsrc.file\\HELLO.CLP)")), Outcome(stored));
}

}  // namespace
}  // namespace varlin::metadata_pipe
