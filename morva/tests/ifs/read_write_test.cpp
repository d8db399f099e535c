#include "ops_session.hpp"

#include <gmock/gmock.h>

namespace morva::ifs::testing {
namespace {

using ::testing::HasSubstr;

Bytes filled(std::size_t length, std::uint8_t first = 0) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

constexpr std::uint32_t kHandle = 0x01020304;

TEST(ReadRange, ReadsWhatLiesInsideTheFile) {
  struct Case {
    std::uint64_t offset;
    std::uint32_t length;
    std::uint32_t requested;  // 0: no read request
  };
  const Case cases[] = {{50, 100, 70}, {0, 120, 120}, {120, 10, 0}, {500, 10, 0}, {10, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " length " << c.length);
    const Bytes content = filled(c.requested, static_cast<std::uint8_t>(c.offset));
    ConnectionScript script;
    script.expect(kOpenId).send(open_reply(kHandle, 120));
    if (c.requested != 0)
      script.expect(read_request(kHandle, c.offset, c.requested)).send(read_reply(content, 0));
    script.expect(close_request(kHandle)).send(close_reply());
    Session session(std::move(script));
    const auto data =
        session.run([&](IfsClient& client) { return client.read_range("/f", c.offset, c.length); });
    ASSERT_TRUE(data) << data.error().text();
    EXPECT_EQ(*data, content);
  }
}

TEST(ReadRange, JoinsChainedDataAndChecksTheCount) {
  struct Case {
    std::vector<Bytes> replies;
    std::string message;  // empty: the data of the 0x8003 replies
  };
  const Bytes a = filled(4, 1), b = filled(6, 9);
  const Case cases[] = {
      {{read_reply(a, kMore), read_reply(b, kMore), return_code_reply(22)}, ""},
      {{read_reply(a, kMore), read_reply(b, kMore), return_code_reply(0)}, ""},
      {{read_reply(a, kMore), read_reply(b, kMore), return_code_reply(5)},
       "access denied for /f (return code 5)"},
      {{read_reply(a, kMore), return_code_reply(22)}, "file-service returned 4 of 10 requested bytes for /f"},
      {{read_reply(a, kMore), read_reply(b, kMore), read_reply(a, 0)},
       "file-service returned 14 of 10 requested bytes for /f"},
      {{read_reply(a, kMore), entry_reply(u"x", 0)}, "unexpected file read reply 0x8005"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ConnectionScript script;
    script.expect(kOpenId).send(open_reply(kHandle, 10)).expect(read_request(kHandle, 0, 10));
    for (const auto& reply : c.replies) script.send(reply);
    script.expect(close_request(kHandle)).send(close_reply());
    Session session(std::move(script));
    const auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 10); });
    if (c.message.empty()) {
      ASSERT_TRUE(data) << data.error().text();
      Bytes joined = a;
      joined.insert(joined.end(), b.begin(), b.end());
      EXPECT_EQ(*data, joined);
    } else {
      ASSERT_FALSE(data);
      EXPECT_EQ(data.error().text(), c.message);
    }
  }
}

TEST(ReadRange, RefusesRangesTheServerCannotTakeBeforeSending) {
  struct Case {
    std::string path;
    std::uint64_t offset;
    std::uint32_t length;
    std::uint16_t level;
    std::string message;
  };
  const Case cases[] = {
      {"/qsys.lib/a.lib/b.file/c.mbr", 0, 1, 16,
       "native byte-range reads are unavailable for converted QSYS source members"},
      {"/f", 0xFFFFFFFF, 2, 15, "file offset 4294967296 requires file-service data stream level 16 or newer"},
      {"/f", 0x1'0000'0000, 0, 15,
       "file offset 4294967296 requires file-service data stream level 16 or newer"},
      {"/f", 0xFFFF'FFFF'FFFF'FFFF, 2, 16, "read offset overflow"},
  };
  for (const auto& c : cases) {
    Session session(ConnectionScript(), ClientSettings{.datastream_level = c.level});
    const auto data =
        session.run([&](IfsClient& client) { return client.read_range(c.path, c.offset, c.length); });
    ASSERT_FALSE(data);
    EXPECT_EQ(data.error().text(), c.message);
    session.finish();
    EXPECT_TRUE(session.received().empty());
  }
}

TEST(ReadRange, ReportsTheReadErrorBeforeTheCloseError) {
  struct Case {
    Bytes read_end;
    std::string message;
  };
  const Case cases[] = {
      {return_code_reply(22), "invalid file handle for /f (return code 6)"},
      {return_code_reply(13), "request denied for /f (return code 13)"},
  };
  for (const auto& c : cases) {
    Session session(ConnectionScript()
                        .expect(kOpenId)
                        .send(open_reply(kHandle, 4))
                        .expect(kReadId)
                        .send(read_reply(filled(4), kMore))
                        .send(c.read_end)
                        .expect(close_request(kHandle))
                        .send(return_code_reply(6)));
    const auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 4); });
    ASSERT_FALSE(data);
    EXPECT_EQ(data.error().text(), c.message);
  }
}

TEST(Close, RefusesAnyReplyButCloseAndReturnCode) {
  Session session(ConnectionScript().expect(close_request(7)).send(open_reply(1, 0)));
  const auto closed = session.run([](IfsClient& client) { return client.close_file(7, "/f"); });
  ASSERT_FALSE(closed);
  EXPECT_EQ(closed.error().text(), "unexpected file close reply 0x8002");
}

constexpr const char* kNoRawMemberWrite = "native writes are unavailable for QSYS source members";

TEST(Write, ChoosesTheOpenOptionFromTheFlags) {
  struct Case {
    WriteOptions options;
    std::uint16_t option;  // 0: refused
  };
  const Case cases[] = {
      {{5, true, true}, 1},   {{std::nullopt, true, true}, 2},
      {{5, true, false}, 4},  {{std::nullopt, true, false}, 4},
      {{5, false, true}, 8},  {{std::nullopt, false, true}, 16},
      {{5, false, false}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    ConnectionScript script;
    if (c.option != 0) {
      script.expect(open_for_write_request(u"/dir/f", c.option))
          .send(open_reply(kHandle, 0))
          .expect(close_request(kHandle))
          .send(close_reply());
    }
    Session session(std::move(script));
    const auto written =
        session.run([&](IfsClient& client) { return client.write("dir\\f", {}, c.options); });
    if (c.option == 0) {
      ASSERT_FALSE(written);
      EXPECT_EQ(written.error().text(), "ifs/write requires create or overwrite to be enabled");
    } else {
      ASSERT_TRUE(written) << written.error().text();
      EXPECT_EQ(*written, 0u);
    }
  }
}

TEST(Write, CutsTheDataIntoBlocksAtRunningPositions) {
  const Bytes data = filled(10000);
  const auto part = [&](std::size_t from, std::size_t length) {
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(from),
                 data.begin() + static_cast<std::ptrdiff_t>(from + length));
  };
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 0))
                      .expect(write_request(kHandle, 100, part(0, 4096)))
                      .send(write_reply())
                      .expect(write_request(kHandle, 4196, part(4096, 4096)))
                      .send(write_reply())
                      .expect(write_request(kHandle, 8292, part(8192, 1808)))
                      .send(write_reply())
                      .expect(close_request(kHandle))
                      .send(close_reply()));
  const auto written = session.run([&](IfsClient& client) {
    return client.write("/f", data, WriteOptions{.offset = 100, .create = false, .overwrite = true});
  });
  ASSERT_TRUE(written) << written.error().text();
  EXPECT_EQ(*written, 10000u);
}

TEST(Write, SendsOneByteBlocksWhenTheServerStatesNoBlockSize) {
  const Bytes data = filled(2, 0xA0);
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 0))
                      .expect(write_request(kHandle, 0, {0xA0}))
                      .send(write_reply())
                      .expect(write_request(kHandle, 1, {0xA1}))
                      .send(write_reply())
                      .expect(kCloseId)
                      .send(close_reply()),
                  ClientSettings{.data_block_size = 0});
  const auto written =
      session.run([&](IfsClient& client) { return client.write_file("/f", data, true, true); });
  ASSERT_TRUE(written) << written.error().text();
  EXPECT_EQ(*written, 2u);
}

TEST(Write, ClosesAfterAFailedBlockAndReportsIt) {
  const Bytes data = filled(4);
  struct Case {
    Bytes reply;
    std::string message;
  };
  const Case cases[] = {
      {write_reply(0, 1), "file-service wrote 3 of 4 bytes to /f"},
      {write_reply(0, 10), "file-service reported 10 unwritten bytes for a 4-byte write to /f"},
      {write_reply(11), "resource limit exceeded for /f (return code 11)"},
  };
  for (const auto& c : cases) {
    Session session(ConnectionScript()
                        .expect(kOpenId)
                        .send(open_reply(kHandle, 0))
                        .expect(write_request(kHandle, 0, data))
                        .send(c.reply)
                        .expect(close_request(kHandle))
                        .send(close_reply()));
    const auto written =
        session.run([&](IfsClient& client) { return client.write_file("/f", data, true, false); });
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().text(), c.message);
  }
}

TEST(Write, RefusesTheRootMembersAndOffsetsBeyondTheLevelBeforeSending) {
  struct Case {
    std::string path;
    std::optional<std::uint64_t> offset;
    std::size_t length;
    std::string message;
  };
  const Case cases[] = {
      {" \\ ", std::nullopt, 1, "refusing to modify the IFS root directory"},
      {"//", std::nullopt, 1, "refusing to modify the IFS root directory"},
      {"/f", 0xFFFFFFFF, 2, "file offset 4294967296 requires file-service data stream level 16 or newer"},
      // A member's records take its text only as the source-member write encodes it.
      {"/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR", std::nullopt, 1, kNoRawMemberWrite},
      {"/QSYS.LIB/MY.X.LIB/QCLSRC.FILE/NEW.MBR", 0, 1, kNoRawMemberWrite},
      {"/QSYS.LIB/MY.X.LIB/QCLSRC.FILE/HELLO.clp", std::nullopt, 0, kNoRawMemberWrite},
      {"/./qsys.lib//mylib.lib/qclsrc.file/hello.mbr", std::nullopt, 1, kNoRawMemberWrite},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Session session(ConnectionScript(), ClientSettings{.datastream_level = 15});
    const Bytes data(c.length);
    const auto written = session.run([&](IfsClient& client) {
      return client.write(c.path, data, WriteOptions{.offset = c.offset, .create = true, .overwrite = true});
    });
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().text(), c.message);
    session.finish();
    EXPECT_TRUE(session.received().empty());
  }
}

TEST(Append, WritesFromTheSizeThatTheOpenForWritingReports) {
  struct Case {
    std::uint64_t size;
    std::size_t length;
  };
  const Case cases[] = {{0, 3}, {120, 5000}, {0x1'0000'0000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const Bytes data = filled(c.length);
    const Bytes first(data.begin(),
                      data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(4096, c.length)));
    ConnectionScript script;
    script.expect(open_for_write_request(u"/logs/app.log", 8))
        .send(open_reply(kHandle, c.size))
        .expect(write_request(kHandle, c.size, first))
        .send(write_reply());
    if (c.length > 4096)
      script.expect(write_request(kHandle, c.size + 4096, Bytes(data.begin() + 4096, data.end())))
          .send(write_reply());
    script.expect(close_request(kHandle)).send(close_reply());
    Session session(std::move(script));
    const auto appended =
        session.run([&](IfsClient& client) { return client.append("logs\\app.log", data); });
    ASSERT_TRUE(appended) << appended.error().text();
    EXPECT_EQ(appended->offset, c.size);
    EXPECT_EQ(appended->count, c.length);
  }
}

TEST(Append, ClosesTheFileWhenItsEndLiesBeyondTheLevel) {
  // Level 15: the size of the open reply at 62 (4 bytes).
  const Bytes opened =
      PacketBuilder(kServer, 0x8002).u32(22, kHandle).u16(34, 1200).u32(62, 0xFFFFFFFF).build();
  Session session(
      ConnectionScript().expect(kOpenId).send(opened).expect(close_request(kHandle)).send(close_reply()),
      ClientSettings{.datastream_level = 15});
  const auto appended = session.run([](IfsClient& client) { return client.append("/f", filled(2)); });
  ASSERT_FALSE(appended);
  EXPECT_EQ(appended.error().text(),
            "file offset 4294967296 requires file-service data stream level 16 or newer");
}

TEST(Append, SendsNothingMoreWhenTheOpenFailsOrThePathIsTheRootOrASourceMember) {
  struct Case {
    std::string path;
    bool opens;
    std::string message;
  };
  const Case cases[] = {
      {"/missing", true, "file not found for /missing (return code 2)"},
      {" / ", false, "refusing to modify the IFS root directory"},
      {"/qsys.lib/a.lib/b.file/c.mbr", false, "native appends are unavailable for QSYS source members"},
      {"QSYS.LIB\\A.LIB\\B.FILE\\C.MBR\\", false, "native appends are unavailable for QSYS source members"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ConnectionScript script;
    if (c.opens) script.expect(open_for_write_request(u"/missing", 8)).send(return_code_reply(2));
    Session session(std::move(script));
    const auto appended = session.run([&](IfsClient& client) { return client.append(c.path, filled(1)); });
    ASSERT_FALSE(appended);
    EXPECT_EQ(appended.error().text(), c.message);
    session.finish();
    EXPECT_EQ(session.received().size(), c.opens ? 1u : 0u);
  }
}

TEST(Truncate, SendsTheSizeOnlyWithinTheLevelsLimit) {
  // Truncate at level 15: size at 64 (4 bytes), name item at 68.
  const Bytes request = PacketBuilder(kServer, 0x000B)
                            .u16(26, 1200)
                            .u32(28, 1)
                            .u16(32, 1)
                            .u16(58, 1)
                            .u32(64, 0x7FFFFFFF)
                            .item(0x0002, utf16(u"/f"))
                            .build();
  Session session(ConnectionScript().expect(request).send(return_code_reply(0)),
                  ClientSettings{.datastream_level = 15});
  const auto refused = session.run([](IfsClient& client) { return client.truncate("/f", 0x80000000); });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().text(),
            "file size 2147483648 requires file-service data stream level 16 or newer");
  const auto member =
      session.run([](IfsClient& client) { return client.truncate("/QSYS.LIB/A.LIB/B.FILE/C.MBR", 1); });
  ASSERT_FALSE(member);
  EXPECT_EQ(member.error().text(), "native truncation is unavailable for QSYS source members");
  const auto done = session.run([](IfsClient& client) { return client.truncate("/f/", 0x7FFFFFFF); });
  EXPECT_TRUE(done) << done.error().text();
}

TEST(SourceMemberCcsid, PrefersTheOpenCcsidThenTheLastObjectReply) {
  struct Case {
    std::uint16_t open_ccsid;
    std::vector<Bytes> object_replies;
    std::optional<std::uint16_t> ccsid;  // none: the missing-CCSID error
  };
  const Case cases[] = {
      {277, {object_reply(37, kMore), return_code_reply(18)}, 277},
      {0xFFFF, {object_reply(37, kMore), return_code_reply(18)}, 37},
      {0xFFFF, {object_reply(37, kMore), object_reply(std::nullopt, 0)}, std::nullopt},
      {0xFFFF, {object_reply(37, kMore), object_reply(1208, 0)}, 1208},
  };
  for (const auto& c : cases) {
    ConnectionScript script;
    script.expect(kOpenId).send(open_reply(kHandle, 80, c.open_ccsid)).expect(0x000A);
    for (const auto& reply : c.object_replies) script.send(reply);
    script.expect(close_request(kHandle)).send(close_reply());
    Session session(std::move(script));
    const auto ccsid =
        session.run([](IfsClient& client) { return client.source_member_ccsid("/QSYS.LIB/M.MBR"); });
    if (c.ccsid) {
      ASSERT_TRUE(ccsid) << ccsid.error().text();
      EXPECT_EQ(*ccsid, *c.ccsid);
    } else {
      ASSERT_FALSE(ccsid);
      EXPECT_EQ(ccsid.error().text(), "IBM i did not report a CCSID for the source member");
    }
  }
}

}  // namespace
}  // namespace morva::ifs::testing
