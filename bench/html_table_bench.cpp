// HTML stripping and pattern-command tables at scale: a 64 MiB Shift-JIS HTML
// page through the HTML stage, a 20-line pattern table over a 64 MiB text
// (whole and per line), the cost of compiling one table line, and 10,000
// small files through the batch run with and without the table.
//
//   html_table_bench [benchmark flags]        runs the benchmarks
//   html_table_bench --make-html FILE BYTES   writes the generated HTML page
//   html_table_bench --make-text FILE BYTES   writes the generated text
//   html_table_bench --table FILE             writes the 20-line table
// bench/html_table_vs_perl.sh runs the same work with perl -0777 in the same
// run and prints both side by side.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/html_stage.h"
#include "conversion/html_strip.h"
#include "conversion/run_conversion.h"
#include "core/host.h"
#include "tables/pattern_table.h"

namespace {

constexpr std::size_t kLargeBytes = std::size_t{64} << 20;
constexpr int kSmallFiles = 10000;

// A host that shows nothing and answers every question with Yes.
class QuietHost : public ostrevin::Host {
 public:
  bool AskYesNo(std::string_view, std::string_view, ostrevin::MessageIcon) override { return true; }
  void ShowMessage(std::string_view, std::string_view, ostrevin::MessageIcon) override {
    ++messages;
  }
  void SetStatus(std::string_view) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void SetBusy(bool) override {}
  void Beep() override {}
  int messages = 0;
};

// The table: the clean-up a user might run over converted web pages. No "k"
// flag, so the engine reads bytes as perl does and both give the same text.
// Shift-JIS: 東京 0x93 0x8C 0x8B 0x9E, 大阪 0x91 0xE5 0x8D 0xE3, 年 0x94 0x4E,
// full-width space 0x81 0x40, … 0x81 0x63, 『 0x81 0x77, 』 0x81 0x78.
const std::vector<std::string>& TableCommands() {
  static const std::vector<std::string> commands = {
      "s/\x93\x8C\x8B\x9E/TOKYO/g",
      "s/\x91\xE5\x8D\xE3/OSAKA/g",
      "s/ +$//gm",
      "s/^ +//gm",
      "s/\\t/ /g",
      "s/  +/ /g",
      "s/(\\d+)-(\\d+)-(\\d+)/$3.$2.$1/g",
      "s/foo|bar|baz/X/g",
      "s/colou?r/color/gi",
      "s/https?:\\/\\/[a-z.]+/URL/g",
      "s/\\bthe\\b/THE/g",
      "s/(\\w+)@(\\w+)\\.com/<$1 at $2>/g",
      "tr/a-e/A-E/",
      "s/\x81\x40/ /g",
      "s/\\.\\.\\./\x81\x63/g",
      "s/\"([^\"\\n]*)\"/\x81\x77$1\x81\x78/g",
      "s/[A-Z]{4,}/ACRONYM/g",
      "s/\\n\\n\\n+/\\n\\n/g",
      "s/(\\d{4})\x94\x4E/$1 year/g",
      "s/zq+$//gm",
  };
  return commands;
}

// Deterministic Shift-JIS prose: hiragana and kanji mixed with the words,
// numbers, dates, quotes and blanks that the table commands look for.
void AppendProse(std::string& text, std::mt19937& rng, int items) {
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* const kPieces[] = {
      "foo ",        "bar ",     "the ",         "colour ", "COLOR ",           "NASA ",
      "2026-12-06 ", "a@b.com ", "http://x.jp ", "...",     "\"quote\"",        "\x81\x40",
      "\t",          "   ",      "2026\x94\x4E", "then ",   "\x93\x8C\x8B\x9E", "\x91\xE5\x8D\xE3",
      "R&D ",        "x<y "};
  for (int i = 0; i < items; ++i) {
    if (pick(3) == 0) {
      text += kPieces[pick(static_cast<int>(std::size(kPieces)))];
    } else if (pick(2) == 0) {
      text += '\x82';  // hiragana 0x829F-0x82F1
      text += static_cast<char>(0x9F + pick(0x52));
    } else {
      text += static_cast<char>(0x89 + pick(0x16));  // kanji, any trail byte
      const int trail = pick(0xBC);
      text += static_cast<char>(trail < 0x3F ? 0x40 + trail : 0x80 + trail - 0x3F);
    }
  }
}

std::string MakeText(std::size_t bytes) {
  std::mt19937 rng(20261206);
  std::string text;
  text.reserve(bytes + 256);
  while (text.size() < bytes) {
    AppendProse(text, rng, 8 + static_cast<int>(rng() % 12));
    text += (rng() % 8 == 0) ? "\n\n\n" : "\n";
  }
  text.resize(bytes);
  return text;
}

// A web page: head, paragraphs with inline tags and the five entities (and
// others), escaped tags, lists, and runs of empty lines that the removed tag
// lines leave behind.
std::string MakeHtml(std::size_t bytes) {
  std::mt19937 rng(1206);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* const kInline[] = {"<b>",
                                        "</b>",
                                        "<a href=\"http://example.jp/?a=1&amp;b=2\">",
                                        "</a>",
                                        "&nbsp;",
                                        "&amp;",
                                        "&lt;b&gt;",
                                        "&quot;",
                                        "&copy;",
                                        "&AMP;lt;",
                                        "<span class=\"x\">",
                                        "</span>",
                                        "<br>",
                                        "&#12354;"};
  std::string text =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<title>\x93\x8C\x8B\x9E</title>\n"
      "</head>\n<body>\n";
  text.reserve(bytes + 512);
  while (text.size() < bytes) {
    switch (pick(4)) {
      case 0:
        text += "<div class=\"section\">\n\n\n<h2>";
        AppendProse(text, rng, 4);
        text += "</h2>\n\n\n</div>\n";
        break;
      case 1:
        text += "<ul>\n";
        for (int i = 0; i < 3; ++i) {
          text += "  <li>";
          AppendProse(text, rng, 5);
          text += "</li>\n";
        }
        text += "</ul>\n";
        break;
      default:
        text += "<p>";
        for (int i = 0; i < 6; ++i) {
          AppendProse(text, rng, 3);
          text += kInline[pick(static_cast<int>(std::size(kInline)))];
        }
        text += "</p>\n";
        break;
    }
  }
  text += "</body>\n</html>\n";
  return text;
}

const std::string& LargeHtml() {
  static const std::string html = MakeHtml(kLargeBytes);
  return html;
}

const std::string& LargeText() {
  static const std::string text = MakeText(kLargeBytes);
  return text;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

// --- 64 MiB HTML through the HTML stage --------------------------------------

// `step` runs over a fresh copy of the page each iteration (the copy is not
// timed).
template <typename Step>
void RunHtmlStep(benchmark::State& state, Step step) {
  const std::string& html = LargeHtml();
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = html;
    state.ResumeTiming();
    benchmark::DoNotOptimize(step(text));
  }
  state.counters["out_MiB"] = static_cast<double>(text.size()) / (1 << 20);
  SetBytes(state, html.size());
}

void BM_StripHtmlStage(benchmark::State& state) {
  QuietHost host;
  RunHtmlStep(state, [&host](std::string& text) { return ostrevin::StripHtml(text, host); });
}

void BM_StripHtmlTags(benchmark::State& state) {
  RunHtmlStep(state, [](std::string& text) { return ostrevin::StripHtmlTags(text); });
}

// The entity commands and the collapse over the page as tag removal left it.
void BM_HtmlEntities(benchmark::State& state) {
  std::string stripped = LargeHtml();
  (void)ostrevin::StripHtmlTags(stripped);
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = stripped;
    state.ResumeTiming();
    benchmark::DoNotOptimize(ostrevin::ReplaceHtmlEntities(text));
  }
  SetBytes(state, stripped.size());
}

void BM_CollapseBlankLines(benchmark::State& state) {
  std::string stripped = LargeHtml();
  (void)ostrevin::StripHtmlTags(stripped);
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = stripped;
    state.ResumeTiming();
    benchmark::DoNotOptimize(ostrevin::CollapseBlankLines(text));
  }
  SetBytes(state, stripped.size());
}

// --- A 20-line table over 64 MiB -----------------------------------------------

ostrevin::ConversionTable CommandTable(const std::vector<std::string>& commands) {
  ostrevin::ConversionTable table;
  for (const std::string& command : commands) table.AddCommand(command);
  return table;
}

void RunTable(benchmark::State& state, const std::vector<std::string>& commands) {
  const ostrevin::ConversionTable table = CommandTable(commands);
  const std::string& source = LargeText();
  QuietHost host;
  std::string text;
  bool completed = true;
  for (auto _ : state) {
    state.PauseTiming();
    text = source;
    state.ResumeTiming();
    bool changed = false;
    completed = ostrevin::ApplyPatternTable(text, table, host, changed);
    benchmark::DoNotOptimize(changed);
  }
  if (!completed || host.messages != 0) state.SkipWithError("a table command failed");
  SetBytes(state, source.size());
}

void BM_PatternTable20(benchmark::State& state) { RunTable(state, TableCommands()); }

// One line of the table at a time, to see where the time of the whole goes.
void BM_PatternTableLine(benchmark::State& state) {
  RunTable(state, {TableCommands()[static_cast<std::size_t>(state.range(0))]});
}

// --- Compiling a table line ------------------------------------------------------

// One command over a two-line text with a record compiled afresh each time, as
// the table does for every file: nearly all of it is parsing and compiling.
void BM_CompileLine(benchmark::State& state) {
  const ostrevin::ConversionTable command =
      CommandTable({TableCommands()[static_cast<std::size_t>(state.range(0))]});
  QuietHost host;
  const std::string source = "short line\n";
  std::string text;
  for (auto _ : state) {
    text = source;
    bool changed = false;
    benchmark::DoNotOptimize(ostrevin::ApplyPatternTable(text, command, host, changed));
  }
  if (host.messages != 0) state.SkipWithError("the command failed");
}

// --- 10,000 small files ----------------------------------------------------------

class SmallFiles {
 public:
  SmallFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostrevin-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    std::filesystem::create_directory(root_ + "/out");
    const std::string text = MakeText(std::size_t{2} << 20);
    std::mt19937 rng(7);
    for (int i = 0; i < kSmallFiles; ++i) {
      const std::size_t size = 200 + rng() % 1800;  // 200 to 2000 bytes
      const std::size_t at = rng() % (text.size() - size);
      const std::string name = root_ + "/in/" + std::to_string(i) + ".txt";
      if (i == 0) std::filesystem::create_directory(root_ + "/in");
      std::ofstream(name, std::ios::binary) << text.substr(at, size);
      files_.push_back(name);
      bytes_ += size;
    }
    std::ofstream table(root_ + "/table.txt", std::ios::binary);
    for (const std::string& command : TableCommands()) table << command << "\n";
  }
  SmallFiles(const SmallFiles&) = delete;
  SmallFiles& operator=(const SmallFiles&) = delete;
  ~SmallFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::string& root() const { return root_; }
  const std::vector<std::string>& files() const { return files_; }
  std::size_t bytes() const { return bytes_; }

 private:
  std::string root_;
  std::vector<std::string> files_;
  std::size_t bytes_ = 0;
};

const SmallFiles& TheSmallFiles() {
  static const SmallFiles files;
  return files;
}

// The batch run over the 10,000 files, written into one folder (OverWrite
// off; an output that exists is overwritten, the host answering Yes). The
// files live under TMPDIR (default /tmp).
void BM_SmallFiles(benchmark::State& state) {
  const SmallFiles& files = TheSmallFiles();
  ostrevin::ConversionOptions options;
  options.Destination = files.root() + "/out";
  options.OverWrite = false;
  options.UseTable = state.range(0) != 0;
  options.RegExp = 1;
  options.TablePath = files.root() + "/table.txt";
  QuietHost host;
  for (auto _ : state) {
    const ostrevin::RunSummary summary =
        ostrevin::RunConversion(files.files(), options, host, ostrevin::RunConfirmation::kSkip);
    if (summary.written != files.files().size()) state.SkipWithError("a file was not written");
  }
  if (host.messages != 0) state.SkipWithError("a message was shown");
  state.counters["files/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSmallFiles, benchmark::Counter::kIsRate);
  SetBytes(state, files.bytes());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--make-html") == 0) {
    std::ofstream(argv[2], std::ios::binary) << MakeHtml(std::strtoull(argv[3], nullptr, 10));
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--make-text") == 0) {
    std::ofstream(argv[2], std::ios::binary) << MakeText(std::strtoull(argv[3], nullptr, 10));
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--table") == 0) {
    std::ofstream table(argv[2], std::ios::binary);
    for (const std::string& command : TableCommands()) table << command << "\n";
    return 0;
  }
  const auto lines = static_cast<std::int64_t>(TableCommands().size());
  benchmark::RegisterBenchmark("StripHtmlStage/64MiB", BM_StripHtmlStage)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("StripHtmlTags/64MiB", BM_StripHtmlTags)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("HtmlEntities/64MiB", BM_HtmlEntities)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("CollapseBlankLines/64MiB", BM_CollapseBlankLines)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("PatternTable20/64MiB", BM_PatternTable20)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(2);
  benchmark::RegisterBenchmark("PatternTableLine/64MiB", BM_PatternTableLine)
      ->DenseRange(0, lines - 1)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark("CompileLine", BM_CompileLine)
      ->DenseRange(0, lines - 1)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("SmallFiles10000/table", BM_SmallFiles)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark("SmallFiles10000/no_table", BM_SmallFiles)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
