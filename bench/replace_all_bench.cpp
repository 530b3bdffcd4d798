// ReplaceAll throughput on Shift-JIS text: shrinking, same-length and growing
// replacements, a search that never matches, and the trail-byte lookalike case;
// and a 20-entry table's chain over the text of bench/vs_peers.sh, whole and
// fed in pieces.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/shell_output.h"
#include "tables/conversion_table.h"
#include "tables/replacement_chain.h"

namespace {

// About `size` bytes of mixed text: ASCII words, あいう (82 A0 82 A2 82 A4),
// 表 (95 5C, whose trail byte is a backslash) and LF line ends.
std::string MakeText(std::size_t size) {
  const std::string unit = "The quick fox \x82\xA0\x82\xA2\x82\xA4 \x95\x5C\\path\n";
  std::string text;
  text.reserve(size + unit.size());
  while (text.size() < size) text += unit;
  return text;
}

void Run(benchmark::State& state, std::string_view search, std::string_view replacement) {
  const std::string original = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = original;
    state.ResumeTiming();
    benchmark::DoNotOptimize(ostrevin::ReplaceAll(text, search, replacement));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(original.size()));
}

void BM_ReplaceAllShrink(benchmark::State& state) { Run(state, "quick", "q"); }
void BM_ReplaceAllSameLength(benchmark::State& state) { Run(state, "\x82\xA2", "\x82\xA3"); }
void BM_ReplaceAllGrow(benchmark::State& state) { Run(state, "\n", "\r\n"); }
void BM_ReplaceAllNoMatch(benchmark::State& state) { Run(state, "zebra", "horse"); }
// Every 表 offers a false candidate at its trail byte.
void BM_ReplaceAllTrailLookalike(benchmark::State& state) { Run(state, "\\", "/"); }
// A long search string with a repetitive prefix: linear, not O(n * m).
void BM_ReplaceAllLongSearch(benchmark::State& state) {
  Run(state, "The quick fox \x82\xA0\x82\xA2\x82\xA4 \x95\x5C\\path\nThe quick cat", "x");
}

// What `perl bench/vs_peers.pl ARGS` prints.
std::string PeersOutput(const std::string& args) {
  return ShellOutput("perl " OSTREVIN_BENCH_DIR "/vs_peers.pl " + args);
}

// The 16 MiB text and the plain table of the "20-entry plain table" row.
struct PlainTableRow {
  PlainTableRow() : text(PeersOutput("text 16777216")) {
    const std::string lines = PeersOutput("plain-table");
    for (std::size_t at = 0; at < lines.size();) {
      const std::size_t end = lines.find('\n', at);
      const std::string line = lines.substr(at, end - at);
      at = end + 1;
      if (line.empty() || line[0] == '#') continue;
      const std::size_t tab = line.find('\t');
      table.Add(line.substr(0, tab), line.substr(tab + 1));
    }
  }
  std::string text;
  ostrevin::ConversionTable table;
};

const PlainTableRow& Row() {
  static const PlainTableRow row;
  return row;
}

// Pieces of `state.range(0)` bytes, or the whole text in one Run when 0.
void BM_PlainTableChain(benchmark::State& state) {
  const PlainTableRow& row = Row();
  const auto piece = static_cast<std::size_t>(state.range(0));
  ostrevin::ReplacementChain chain(row.table);
  std::size_t out = 0;
  const auto sink = [&](std::string_view bytes) { out += bytes.size(); };
  for (auto _ : state) {
    out = 0;
    const std::string_view text = row.text;
    if (piece == 0) {
      benchmark::DoNotOptimize(chain.Run(text, sink));
    } else {
      for (std::size_t at = 0; at < text.size(); at += piece) {
        chain.Feed(text.substr(at, piece), sink);
      }
      benchmark::DoNotOptimize(chain.Finish(sink));
    }
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(row.text.size()));
}

constexpr int64_t kSize = 64 << 20;
BENCHMARK(BM_ReplaceAllShrink)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllSameLength)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllGrow)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllNoMatch)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllTrailLookalike)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllLongSearch)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTableChain)->Arg(0)->Arg(64 << 10)->Arg(4 << 10)->Unit(benchmark::kMillisecond);

}  // namespace
