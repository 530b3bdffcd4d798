// ReplaceAll throughput on Shift-JIS text: shrinking, same-length and growing
// replacements, a search that never matches, and the trail-byte lookalike case.
#include <benchmark/benchmark.h>

#include <string>

#include "tables/conversion_table.h"

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

constexpr int64_t kSize = 64 << 20;
BENCHMARK(BM_ReplaceAllShrink)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllSameLength)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllGrow)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllNoMatch)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllTrailLookalike)->Arg(kSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllLongSearch)->Arg(kSize)->Unit(benchmark::kMillisecond);

}  // namespace
