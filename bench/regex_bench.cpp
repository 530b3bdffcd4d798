// Engine benchmark: typical table commands (literal, class, alternation,
// anchored, lazy, capture-and-replace, tr) over a generated Shift-JIS text of
// 4 and 8 MiB, each compiled once and run over the whole text.
//
//   regex_bench [benchmark flags]          runs the benchmarks
//   regex_bench --make-text FILE BYTES     writes the generated text
//   regex_bench --commands                 lists the commands, one per line
// bench/regex_vs_perl.sh runs the same commands with perl -0777 on the same
// text and prints both side by side.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "regex/pattern_engine.h"

namespace {

struct BenchCommand {
  const char* name;
  const char* command;  // Shift-JIS bytes
};

// "東京" is 0x93 0x8C 0x8B 0x9E in Shift-JIS.
const std::vector<BenchCommand>& Commands() {
  static const std::vector<BenchCommand> commands = {
      {"literal", "s/\x93\x8C\x8B\x9E/TOKYO/g"},
      {"literal_ascii", "s/&amp;/&/g"},
      {"class", "s/[0-9]+/N/g"},
      {"alternation", "s/foo|bar|baz/X/g"},
      {"anchored", "s/^ +//gm"},
      {"lazy", "s/<.*?>//g"},
      {"capture_replace", "s/(\\d+)-(\\d+)/$2-$1/g"},
      {"case_insensitive", "s/href/HREF/gi"},
      {"match_missing", "m/zzzq/"},
      {"tr", "tr/a-z/A-Z/"},
  };
  return commands;
}

// Lines of hiragana and kanji mixed with ASCII words, numbers, tags and
// entities, as a converted web page might look. Deterministic.
std::string MakeText(std::size_t bytes) {
  std::mt19937 rng(12345);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* const kPieces[] = {"foo ",
                                        "bar ",
                                        "baz ",
                                        "<b>",
                                        "</b>",
                                        "&amp;",
                                        " href=\"x\" ",
                                        "123-4567 ",
                                        "\x93\x8C\x8B\x9E",  // 東京
                                        "HREF ",
                                        "text ",
                                        "2026-12 "};
  std::string text;
  text.reserve(bytes + 128);
  while (text.size() < bytes) {
    if (pick(4) == 0) text += "  ";  // leading spaces for the anchored command
    const int items = 8 + pick(12);
    for (int i = 0; i < items; ++i) {
      if (pick(3) == 0) {
        text += kPieces[pick(static_cast<int>(std::size(kPieces)))];
      } else {
        // A hiragana (0x829F-0x82F1) or a kanji from the 0x88-0x9F rows.
        if (pick(2) == 0) {
          text += '\x82';
          text += static_cast<char>(0x9F + pick(0x52));
        } else {
          text += static_cast<char>(0x89 + pick(0x16));
          text += static_cast<char>(0x40 + pick(0x3F));
        }
      }
    }
    text += '\n';
  }
  text.resize(bytes);
  return text;
}

const std::string& Text(std::size_t bytes) {
  static std::string small = MakeText(4u << 20);
  static std::string large = MakeText(8u << 20);
  return bytes == (4u << 20) ? small : large;
}

void RunCommand(benchmark::State& state, const char* command, std::size_t bytes) {
  const std::string& text = Text(bytes);
  ostrevin::regex::PatternRecord* slot = nullptr;
  char message[ostrevin::regex::kMessageBufferSize];
  const bool translate = std::strncmp(command, "tr", 2) == 0;
  std::int32_t count = 0;
  for (auto _ : state) {
    count = translate ? ostrevin::regex::PatternTranslate(command, text.data(),
                                                          text.data() + text.size(), &slot, message)
                      : ostrevin::regex::PatternExecute(command, text.data(),
                                                        text.data() + text.size(), &slot, message);
    benchmark::DoNotOptimize(count);
  }
  ostrevin::regex::PatternFree(slot);
  if (message[0] != '\0') state.SkipWithError(message);
  state.counters["count"] = count;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--make-text") == 0) {
    const std::string text = MakeText(std::strtoull(argv[3], nullptr, 10));
    std::ofstream(argv[2], std::ios::binary) << text;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--commands") == 0) {
    for (const BenchCommand& c : Commands()) std::printf("%s %s\n", c.name, c.command);
    return 0;
  }
  for (const BenchCommand& c : Commands()) {
    for (const std::size_t bytes : {std::size_t{4u << 20}, std::size_t{8u << 20}}) {
      const std::string name = std::string(c.name) + "/" + std::to_string(bytes >> 20) + "MiB";
      benchmark::RegisterBenchmark(name.c_str(), [command = c.command, bytes](benchmark::State& s) {
        RunCommand(s, command, bytes);
      })->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
