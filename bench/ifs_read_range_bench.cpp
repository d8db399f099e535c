// A 64 MiB stream file read through the file-service client, against a plain socket copy of the same
// reply bytes from the same loopback server.
#include "fake_ibmi/fake_server.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "morva/ifs/client.hpp"

#include <benchmark/benchmark.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

namespace {

using fake_ibmi::Bytes;
using fake_ibmi::ConnectionScript;
using fake_ibmi::PacketBuilder;

constexpr std::uint16_t kServer = 0xE002;
constexpr std::size_t kFileSize = 64 * 1024 * 1024;
constexpr std::size_t kDataPerReply = 1024 * 1024;
constexpr std::chrono::milliseconds kWaitLimit{20000};

// The chained 0x8003 replies that carry the whole file.
const Bytes& read_replies() {
  static const Bytes replies = [] {
    Bytes all;
    const Bytes data(kDataPerReply, 0x5A);
    for (std::size_t sent = 0; sent < kFileSize; sent += kDataPerReply) {
      const bool last = sent + kDataPerReply == kFileSize;
      const Bytes reply =
          PacketBuilder(kServer, 0x8003).u16(20, last ? 0 : 1).u16(22, 0).item(0x0020, data).build();
      all.insert(all.end(), reply.begin(), reply.end());
    }
    return all;
  }();
  return replies;
}

asio::ip::tcp::socket connect(asio::io_context& io, std::uint16_t port) {
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::make_address_v4("127.0.0.1"), port});
  return socket;
}

void BM_ReadRange(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    ConnectionScript script;
    script.expect(0x0002)
        .send(PacketBuilder(kServer, 0x8002).u32(22, 1).u16(34, 1200).u64(89, kFileSize).build())
        .expect(0x0003)
        .send(read_replies())
        .expect(0x0009)
        .send(PacketBuilder(kServer, 0x8004).u16(22, 0).build());
    fake_ibmi::FakeServer server(std::move(script), kWaitLimit);
    asio::io_context io;
    morva::ifs::IfsClient client(connect(io, server.port()), "BENCH", 65536, 1200, 16);
    state.ResumeTiming();
    std::size_t size = 0;
    asio::co_spawn(io, client.read_range("/f", 0, kFileSize),
                   [&size](std::exception_ptr, morva::Result<std::vector<std::uint8_t>> data) {
                     size = data ? data->size() : 0;
                   });
    io.run();
    state.PauseTiming();
    if (size != kFileSize) state.SkipWithError("read_range failed");
    server.finish();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_RawSocketCopy(benchmark::State& state) {
  const Bytes request = PacketBuilder(kServer, 0x0003).u32(22, 1).build();
  for (auto _ : state) {
    state.PauseTiming();
    fake_ibmi::FakeServer server(ConnectionScript().expect(0x0003).send(read_replies()), kWaitLimit);
    asio::io_context io;
    auto socket = connect(io, server.port());
    state.ResumeTiming();
    asio::write(socket, asio::buffer(request));
    std::vector<std::uint8_t> copy(read_replies().size());
    asio::read(socket, asio::buffer(copy));
    benchmark::DoNotOptimize(copy.data());
    state.PauseTiming();
    server.finish();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

BENCHMARK(BM_ReadRange)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawSocketCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
