// Decoding and encoding a large source member, record by record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "morva/ccsid/source_member.hpp"

namespace {

constexpr std::uint64_t kRecordLength = 112;
constexpr std::size_t kRecords = 100'000;

// Typical RPG lines of different lengths, some with Danish letters; at most 50 characters.
std::string member_text() {
  const char* const lines[] = {
      "     C                   EVAL      SUM = BEL\u00D8B",
      "",
      "      * Beregn afgift for \u00C6BLER og p\u00E6rer (\u00E5rlig)",
      "     D KUNDE           DS            QUALIFIED",
      "     C                   IF        %FOUND(KUNDE)",
      "     C                   ENDIF",
  };
  std::string text;
  for (std::size_t i = 0; i < kRecords; ++i) {
    text += lines[i % std::size(lines)];
    text += '\n';
  }
  return text;
}

void decode_source_member(benchmark::State& state) {
  const auto ccsid = static_cast<morva::ccsid::Ccsid>(state.range(0));
  const auto bytes = morva::ccsid::encode_source_member(member_text(), ccsid, kRecordLength).value();
  for (auto _ : state) {
    auto text = morva::ccsid::decode_source_member(bytes, ccsid, kRecordLength);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(decode_source_member)->Arg(277)->Arg(1200)->Arg(1208)->Unit(benchmark::kMillisecond);

void encode_source_member(benchmark::State& state) {
  const auto ccsid = static_cast<morva::ccsid::Ccsid>(state.range(0));
  const std::string text = member_text();
  for (auto _ : state) {
    auto bytes = morva::ccsid::encode_source_member(text, ccsid, kRecordLength);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRecords * (kRecordLength - 12)));
}
BENCHMARK(encode_source_member)->Arg(277)->Arg(1200)->Arg(1208)->Unit(benchmark::kMillisecond);

}  // namespace
