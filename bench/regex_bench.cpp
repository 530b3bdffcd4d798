// Engine benchmark: typical table commands (literal, class, alternation,
// anchored, lazy, capture-and-replace, tr) over a generated Shift-JIS text of
// 4 and 8 MiB, each compiled once and run over the whole text; and shapes
// that once went quadratic or ran out of stack, each over a single line of 1
// and 4 MiB made for it.
//
//   regex_bench [benchmark flags]          runs the benchmarks
//   regex_bench --make-text FILE BYTES     writes the generated text
//   regex_bench --commands                 lists the commands, one per line
//   regex_bench --long-lines               lists the long-line shapes, one per line
//   regex_bench --make-line NAME FILE BYTES  writes the line of a shape
//   regex_bench --run-line NAME BYTES      runs a shape once over its line and
//                                          prints CPU milliseconds (best of 3)
//                                          and the peak memory in KiB
// bench/regex_vs_perl.sh runs the same commands with perl -0777 on the same
// text and prints both side by side.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
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

// A line of `bytes` bytes: `head`, then `unit` repeated, then `tail`.
std::string Line(std::string_view head, std::string_view unit, std::string_view tail,
                 std::size_t bytes) {
  std::string line(head);
  line.reserve(bytes);
  while (line.size() + unit.size() + tail.size() <= bytes) line += unit;
  line += tail;
  return line;
}

struct LongLineShape {
  const char* name;
  const char* command;
  std::function<std::string(std::size_t)> line;
};

// Minified HTML: one line of elements with attributes and entities.
std::string Html(std::size_t bytes) {
  return Line("<html><head><title>T</title></head><body>",
              "<div class=\"c1\" id=\"x\">text &amp; more <a href=\"u\">link</a></div>",
              "</body></html>", bytes);
}

const std::vector<LongLineShape>& LongLineShapes() {
  static const std::vector<LongLineShape> shapes = {
      {"dotstar_digit", "s/.*\\d//",
       [](std::size_t n) { return Line("", "the quick brown fox ", "", n); }},
      {"a_dotstar_z", "s/a.*z//", [](std::size_t n) { return Line("", "banana bread ", "", n); }},
      {"dotstar_title", "s/.*<title>//", Html},
      {"x_dotstar_y_end", "s/x.*y$//", [](std::size_t n) { return Line("", "x-", "", n); }},
      {"astar_x_digit", "s/a*x\\d/y/", [](std::size_t n) { return Line("x", "a", "", n); }},
      {"trailing_space", "s/\\s+$//", [](std::size_t n) { return Line("", "a ", "b", n); }},
      {"attributes", "s/(\\w+)=\"([^\"]*)\"/$1=$2/g", Html},
      {"tags", "s/<[^>]*>//g", Html},
      {"alt_repeat_c", "m/(a|b)*c/", [](std::size_t n) { return Line("", "ab", "c", n); }},
      {"group_plus", "s/(?:ab)+//g", [](std::size_t n) { return Line("", "ab", "c", n); }},
      {"alt_repeat_end", "s/(a|b)*$/Z/", [](std::size_t n) { return Line("", "ab", "", n); }},
      {"dot_x_nested", "s/.X(.+)+X/-/g",
       [](std::size_t n) { return Line("", "bbbbXcXaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "", n); }},
      {"dot_xx_nested", "s/.XX(.+)+X/-/g",
       [](std::size_t n) { return Line("", "bbbbXXcXaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "", n); }},
  };
  return shapes;
}

const LongLineShape* FindShape(const char* name) {
  for (const LongLineShape& s : LongLineShapes()) {
    if (std::strcmp(s.name, name) == 0) return &s;
  }
  return nullptr;
}

// One run of a command over a text; the message is empty unless it failed.
std::int32_t RunOnce(const char* command, const std::string& text,
                     ostrevin::regex::PatternRecord*& slot, char* message) {
  return ostrevin::regex::PatternExecute(command, text.data(), text.data() + text.size(), &slot,
                                         message);
}

// The peak resident memory of this process in KiB, from /proc (0 elsewhere).
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

int RunLine(const LongLineShape& shape, std::size_t bytes) {
  const std::string text = shape.line(bytes);
  double best = 1e30;
  std::int32_t count = 0;
  char message[ostrevin::regex::kMessageBufferSize] = "";
  for (int i = 0; i < 3; ++i) {
    ostrevin::regex::PatternRecord* slot = nullptr;
    std::timespec t0{};
    std::timespec t1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
    count = RunOnce(shape.command, text, slot, message);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
    ostrevin::regex::PatternFree(slot);
    const double ms = (t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6;
    if (ms < best) best = ms;
  }
  std::printf("%.2f %ld %d %s\n", best, PeakKiB(), count, message[0] != '\0' ? message : "-");
  return 0;
}

void RunLongLine(benchmark::State& state, const LongLineShape& shape, std::size_t bytes) {
  const std::string text = shape.line(bytes);
  ostrevin::regex::PatternRecord* slot = nullptr;
  char message[ostrevin::regex::kMessageBufferSize];
  std::int32_t count = 0;
  for (auto _ : state) {
    count = RunOnce(shape.command, text, slot, message);
    benchmark::DoNotOptimize(count);
  }
  ostrevin::regex::PatternFree(slot);
  if (message[0] != '\0') state.SkipWithError(message);
  state.counters["count"] = count;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
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
  if (argc == 2 && std::strcmp(argv[1], "--long-lines") == 0) {
    for (const LongLineShape& s : LongLineShapes()) std::printf("%s %s\n", s.name, s.command);
    return 0;
  }
  if (argc == 5 && std::strcmp(argv[1], "--make-line") == 0 && FindShape(argv[2]) != nullptr) {
    const std::string line = FindShape(argv[2])->line(std::strtoull(argv[4], nullptr, 10));
    std::ofstream(argv[3], std::ios::binary) << line;
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--run-line") == 0 && FindShape(argv[2]) != nullptr) {
    return RunLine(*FindShape(argv[2]), std::strtoull(argv[3], nullptr, 10));
  }
  for (const LongLineShape& s : LongLineShapes()) {
    for (const std::size_t bytes : {std::size_t{1u << 20}, std::size_t{4u << 20}}) {
      const std::string name =
          std::string("line/") + s.name + "/" + std::to_string(bytes >> 20) + "MiB";
      benchmark::RegisterBenchmark(name.c_str(), [&s, bytes](benchmark::State& state) {
        RunLongLine(state, s, bytes);
      })->Unit(benchmark::kMillisecond);
    }
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
