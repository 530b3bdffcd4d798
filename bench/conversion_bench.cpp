// In-memory throughput of the pipeline's stages: code detection and
// conversion and line-end normalisation, alone and in one pass, over a 16 MiB
// text (ReplaceAll has
// its own benchmark in replace_all_bench.cpp).
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <string_view>

#include "bench/shell_output.h"
#include "conversion/kanji_code.h"
#include "conversion/kanji_code_detector.h"
#include "conversion/line_ends.h"
#include "conversion/streamed_conversion.h"
#include "conversion/utf8_to_shift_jis.h"

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

// The same prose in UTF-8 and in Shift-JIS.
std::string Repeated(const std::string& line) {
  std::string text;
  text.reserve(kTextBytes + 128);
  while (text.size() < kTextBytes) text += line;
  return text;
}

std::string Utf8Text() {
  return Repeated(
      "\xe5\x90\xbe\xe8\xbc\xa9\xe3\x81\xaf\xe7\x8c\xab\xe3\x81\xa7\xe3\x81\x82\xe3\x82\x8b"
      "\xe3\x80\x82Ostrevin 1.0 "
      "\xe5\x90\x8d\xe5\x89\x8d\xe3\x81\xaf\xe3\x81\xbe\xe3\x81\xa0\xe7\x84\xa1\xe3\x81\x84"
      "\xe3\x80\x82\xef\xbd\xb1\xef\xbd\xb2\n");
}

// The prose of bench/vs_peers.sh's UTF-8 row (random runs of kana and kanji
// between short ASCII words), where the branches between the two kinds of run
// cost what the fixed line above hides.
std::string Utf8Prose() {
  return ShellOutput("perl " OSTREVIN_BENCH_DIR
                     "/vs_peers.pl text 16777216 | iconv -f CP932 -t UTF-8");
}

std::string ShiftJisText() {
  return Repeated(
      "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\x82\xc5\x82\xa0\x82\xe9\x81\x42Ostrevin 1.0 "
      "\x96\xbc\x91\x4f\x82\xcd\x82\xdc\x82\xbe\x96\xb3\x82\xa2\x81\x42\xb1\xb2\n");
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

// Detection reads the whole text whatever it is; ASCII is stepped over in
// words, UTF-8 needs one pass; EUC and Shift-JIS need the UTF-8 tally (which
// stops once too many bytes are invalid, about a tenth of the way in) and
// one pass of 64-byte blocks for both legacy readings.
void Detect(benchmark::State& state, const std::string& text) {
  for (auto _ : state) benchmark::DoNotOptimize(ostrevin::DetectKanjiCode(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
void BM_DetectKanjiCodeAscii(benchmark::State& state) {
  Detect(state, std::string(kTextBytes, 'a'));
}
BENCHMARK(BM_DetectKanjiCodeAscii);
void BM_DetectKanjiCodeUtf8(benchmark::State& state) { Detect(state, Utf8Text()); }
BENCHMARK(BM_DetectKanjiCodeUtf8);
void BM_DetectKanjiCodeEuc(benchmark::State& state) { Detect(state, EucText("\n")); }
BENCHMARK(BM_DetectKanjiCodeEuc);
void BM_DetectKanjiCodeShiftJis(benchmark::State& state) { Detect(state, ShiftJisText()); }
BENCHMARK(BM_DetectKanjiCodeShiftJis);

// The same texts in pieces of about 1 MiB cut after a line end, as a file is
// read for detection before it is streamed: the detector knows the length
// and reads only what it needs.
void DetectInPieces(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    ostrevin::KanjiCodeDetector detector(text.size());
    std::optional<ostrevin::DetectedCode> code;
    while (!code) {
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t line_end = text.find('\n', at + (1 << 20));
        const std::size_t end = line_end == std::string::npos ? text.size() : line_end + 1;
        at = detector.Add(std::string_view(text).substr(at, end - at)) ? end : 0;
      }
      code = detector.Result();
    }
    benchmark::DoNotOptimize(code);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
void BM_KanjiCodeDetectorUtf8(benchmark::State& state) { DetectInPieces(state, Utf8Text()); }
BENCHMARK(BM_KanjiCodeDetectorUtf8);
void BM_KanjiCodeDetectorEuc(benchmark::State& state) { DetectInPieces(state, EucText("\n")); }
BENCHMARK(BM_KanjiCodeDetectorEuc);

void BM_Utf8ToShiftJis(benchmark::State& state) {
  RunOnCopies(state, Utf8Text(), [](std::string& t) {
    benchmark::DoNotOptimize(ostrevin::Utf8ToShiftJis(t).substituted);
  });
}
BENCHMARK(BM_Utf8ToShiftJis);

void BM_EucToShiftJis(benchmark::State& state) {
  RunOnCopies(state, EucText("\n"),
              [](std::string& t) { benchmark::DoNotOptimize(ostrevin::EucToShiftJis(t)); });
}
BENCHMARK(BM_EucToShiftJis);

void BM_EucToShiftJisAscii(benchmark::State& state) {
  RunOnCopies(state, std::string(kTextBytes, 'a'),
              [](std::string& t) { benchmark::DoNotOptimize(ostrevin::EucToShiftJis(t)); });
}
BENCHMARK(BM_EucToShiftJisAscii);

void BM_JisToShiftJis(benchmark::State& state) {
  RunOnCopies(state, JisText(),
              [](std::string& t) { benchmark::DoNotOptimize(ostrevin::JisToShiftJis(t)); });
}
BENCHMARK(BM_JisToShiftJis);

// The code conversion, the line ends and CR LF in one pass into a 64 KiB
// block, as a file is written: compare with the converter and the line-end
// stage above taken one after the other.
void InBlocks(benchmark::State& state, const std::string& text, ostrevin::DetectedCode code) {
  std::string block(std::size_t{1} << 16, '\0');
  std::size_t written = 0;
  for (auto _ : state) {
    const auto done = ostrevin::ConvertInBlocks(text, code, ostrevin::Unconvertible::kRefuse, block,
                                                [&](std::string_view bytes) {
                                                  written += bytes.size();
                                                  benchmark::DoNotOptimize(bytes.data());
                                                });
    benchmark::DoNotOptimize(done.not_crlf);
  }
  benchmark::DoNotOptimize(written);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
void BM_EucInBlocks(benchmark::State& state) {
  InBlocks(state, EucText("\n"), ostrevin::DetectedCode::kEuc);
}
BENCHMARK(BM_EucInBlocks);
void BM_JisInBlocks(benchmark::State& state) {
  InBlocks(state, JisText(), ostrevin::DetectedCode::kJis);
}
BENCHMARK(BM_JisInBlocks);
void BM_Utf8InBlocks(benchmark::State& state) {
  InBlocks(state, Utf8Text(), ostrevin::DetectedCode::kUtf8);
}
BENCHMARK(BM_Utf8InBlocks);
void BM_Utf8ProseInBlocks(benchmark::State& state) {
  InBlocks(state, Utf8Prose(), ostrevin::DetectedCode::kUtf8);
}
BENCHMARK(BM_Utf8ProseInBlocks);
void BM_ShiftJisInBlocks(benchmark::State& state) {
  InBlocks(state, ShiftJisText(), ostrevin::DetectedCode::kShiftJis);
}
BENCHMARK(BM_ShiftJisInBlocks);

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
