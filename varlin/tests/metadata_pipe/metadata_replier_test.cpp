#include "metadata_pipe/metadata_replier.hpp"

#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/use_future.hpp>

#include <optional>
#include <string>

namespace varlin::metadata_pipe {
namespace {

using Lookup = std::expected<MetadataResult, MetadataError>;

MetadataResult member_result() {
  return MetadataResult{.path = "/QSYS.LIB/L.LIB/F.FILE/M.MBR",
                        .properties = {FileProperties::Member{.member = "M", .ccsid = 37}}};
}

struct ReplyCase {
  const char* name;
  morva::Result<std::string> request;
  std::optional<Lookup> lookup;  // what the lookup answers, when it is asked
  std::string reply;
};

TEST(MetadataReplier, Replies) {
  const ReplyCase cases[] = {
      {"empty request", morva::fail("empty metadata request"), std::nullopt,
       R"({"version":1,"mountId":"0000002A","ok":false,"code":"invalidRequest","error":"empty metadata request"})"},
      {"read failure", std::unexpected(morva::Error::io(morva::IoErrorKind::timed_out, "took too long")),
       std::nullopt,
       R"({"version":1,"mountId":"0000002A","ok":false,"code":"invalidRequest","error":"took too long"})"},
      {"properties", std::string("line\n"), Lookup(member_result()),
       R"({"version":1,"mountId":"0000002A","ok":true,"result":{"path":"/QSYS.LIB/L.LIB/F.FILE/M.MBR",)"
       R"("properties":{"path":"","library":"","sourceFile":"","member":"M",)"
       R"("sourceType":"","ccsid":37,"recordLength":0,"description":""}}})"},
      {"refused", std::string("line\n"),
       Lookup(std::unexpected(MetadataError{MetadataError::Invalid{"no \"x\""}})),
       R"({"version":1,"mountId":"0000002A","ok":false,"code":"invalidRequest","error":"no \"x\""})"},
      {"connection lost", std::string("line\n"),
       Lookup(std::unexpected(MetadataError{MetadataError::ConnectionLost{}})),
       R"({"version":1,"mountId":"0000002A","ok":false,"code":"connectionLost",)"
       R"("error":"IBM i metadata is not available; the connection was lost"})"},
      {"description refused", std::string("line\n"),
       Lookup(std::unexpected(MetadataError{
           MetadataError::DescriptionRefused{"IBM i refused the description of /QSYS.LIB/L.LIB/X.PGM"}})),
       R"({"version":1,"mountId":"0000002A","ok":false,"code":"connectionLost",)"
       R"("error":"IBM i refused the description of /QSYS.LIB/L.LIB/X.PGM"})"},
  };
  for (const auto& c : cases) {
    std::optional<std::string> asked;
    MetadataReplier replier(0x2A, [&](std::string line) -> asio::awaitable<Lookup> {
      asked = line;
      co_return *c.lookup;
    });
    asio::io_context io;
    auto reply = asio::co_spawn(io, replier.reply(c.request), asio::use_future);
    io.run();
    EXPECT_EQ(reply.get(), c.reply) << c.name;
    EXPECT_EQ(asked, c.lookup ? std::optional<std::string>("line\n") : std::nullopt) << c.name;
  }
}

}  // namespace
}  // namespace varlin::metadata_pipe
