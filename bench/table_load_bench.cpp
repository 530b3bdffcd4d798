// Loading a table of 100,000 lines in both modes, and applying the simple
// one to a 64 KiB text. The peak memory of the same sizes through the
// command line is measured by tools/stress_sizes.sh.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/host.h"
#include "tables/conversion_table.h"

namespace {

constexpr int kLines = 100000;

class QuietHost : public ostrevin::Host {
 public:
  bool AskYesNo(std::string_view, std::string_view, ostrevin::MessageIcon) override {
    return false;
  }
  void ShowMessage(std::string_view, std::string_view, ostrevin::MessageIcon) override {}
  void SetStatus(std::string_view) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void SetBusy(bool) override {}
  void Beep() override {}
};

// The two table files, written once into a private folder that is removed
// at exit.
class TableFiles {
 public:
  TableFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostrevin-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    std::ofstream simple(Simple(), std::ios::binary);
    std::ofstream commands(Pattern(), std::ios::binary);
    for (int i = 0; i < kLines; ++i) {
      simple << '<' << i << ">\t[" << i << "]\n";
      commands << "s/<q" << i << ">/x/g\n";
    }
  }
  TableFiles(const TableFiles&) = delete;
  TableFiles& operator=(const TableFiles&) = delete;
  ~TableFiles() { std::filesystem::remove_all(folder_); }

  [[nodiscard]] std::string Simple() const { return (folder_ / "simple.txt").string(); }
  [[nodiscard]] std::string Pattern() const { return (folder_ / "pattern.txt").string(); }

 private:
  std::filesystem::path folder_;
};

const TableFiles& Files() {
  static const TableFiles files;
  return files;
}

void Load(benchmark::State& state, const std::string& path, bool pattern_mode) {
  QuietHost host;
  ostrevin::ConversionTable table;
  for (auto _ : state) {
    if (!ostrevin::LoadConversionTable(path, pattern_mode, table, host)) {
      state.SkipWithError("the table did not load");
      break;
    }
    benchmark::DoNotOptimize(table.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
  state.counters["entries"] = static_cast<double>(table.size());
}

void BM_LoadSimpleTable(benchmark::State& state) { Load(state, Files().Simple(), false); }
void BM_LoadPatternTable(benchmark::State& state) { Load(state, Files().Pattern(), true); }

// Every entry searched over the text, most of them found once.
void BM_ApplySimpleTable(benchmark::State& state) {
  QuietHost host;
  ostrevin::ConversionTable table;
  if (!ostrevin::LoadConversionTable(Files().Simple(), false, table, host)) std::abort();
  std::string source;
  for (int i = 0; source.size() < 64 * 1024; ++i) source += '<' + std::to_string(i % 1000) + "> ";
  std::string text;
  for (auto _ : state) {
    state.PauseTiming();
    text = source;
    state.ResumeTiming();
    bool changed = false;
    benchmark::DoNotOptimize(ostrevin::ApplyConversionTable(text, table, 0, host, changed));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size()));
}

}  // namespace

BENCHMARK(BM_LoadSimpleTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPatternTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplySimpleTable)->Unit(benchmark::kMillisecond);
