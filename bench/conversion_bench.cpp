// In-memory throughput of the pipeline's stages: code detection and
// conversion and line-end normalisation, over a 16 MiB text (ReplaceAll has
// its own benchmark in replace_all_bench.cpp).
#include <benchmark/benchmark.h>

#include <string>

#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"

namespace {

constexpr std::size_t kTextBytes = 16 << 20;

// Japanese prose in EUC (hiragana, kanji, punctuation), some ASCII, and a
// line end every 60 or so bytes.
std::string EucText(const char* line_end) {
  const std::string line =
      "\xb8\xe3\xc7\xda\xa4\xcf\xc7\xad\xa4\xc7\xa4\xa2\xa4\xeb\xa1\xa3"  // 吾輩は猫である。
      "Ostrevin 1.0 "
      "\xcc\xbe\xc1\xb0\xa4\xcf\xa4\xde\xa4\xc0\xcc\xb5\xa4\xa4\xa1\xa3"  // 名前はまだ無い。
      "\x8e\xb1\x8e\xb2";                                                 // ｱｲ
  std::string text;
  text.reserve(kTextBytes + 128);
  while (text.size() < kTextBytes) text += line + line_end;
  return text;
}

std::string JisText() {
  const std::string line =
      "\x1b$B8c\x47Z\x24\x4f\x47\x2d\x24\x47\x24\x22\x24\x6b\x21\x23\x1b(B"  // 吾輩は猫である。
      "Ostrevin 1.0 "
      "\x1b$BL>\x41\x30\x24\x4f\x24\x5e\x24\x40\x4c\x35\x24\x24\x21\x23\x1b(B\n";
  std::string text;
  text.reserve(kTextBytes + 128);
  while (text.size() < kTextBytes) text += line;
  return text;
}

// Runs `stage` on a fresh copy of `input` in every iteration; only the stage
// is timed.
template <typename Stage>
void RunOnCopies(benchmark::State& state, const std::string& input, Stage stage) {
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = input;
    state.ResumeTiming();
    stage(text);
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.size()));
}

void BM_DetectKanjiCode(benchmark::State& state) {
  // ASCII only: the detector has to read the whole text.
  const std::string text(kTextBytes, 'a');
  for (auto _ : state) benchmark::DoNotOptimize(ostrevin::DetectKanjiCode(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DetectKanjiCode);

void BM_EucToShiftJis(benchmark::State& state) {
  RunOnCopies(state, EucText("\n"), [](std::string& t) { ostrevin::EucToShiftJis(t); });
}
BENCHMARK(BM_EucToShiftJis);

void BM_EucToShiftJisAscii(benchmark::State& state) {
  RunOnCopies(state, std::string(kTextBytes, 'a'),
              [](std::string& t) { ostrevin::EucToShiftJis(t); });
}
BENCHMARK(BM_EucToShiftJisAscii);

void BM_JisToShiftJis(benchmark::State& state) {
  RunOnCopies(state, JisText(), [](std::string& t) { ostrevin::JisToShiftJis(t); });
}
BENCHMARK(BM_JisToShiftJis);

void BM_NormalizeLineEndsCrLf(benchmark::State& state) {
  RunOnCopies(state, EucText("\r\n"),
              [](std::string& t) { benchmark::DoNotOptimize(ostrevin::NormalizeLineEnds(t)); });
}
BENCHMARK(BM_NormalizeLineEndsCrLf);

void BM_NormalizeLineEndsLf(benchmark::State& state) {
  RunOnCopies(state, EucText("\n"),
              [](std::string& t) { benchmark::DoNotOptimize(ostrevin::NormalizeLineEnds(t)); });
}
BENCHMARK(BM_NormalizeLineEndsLf);

}  // namespace
