// `ostrevin-cli apply [--groups] [--count] COMMAND [FILE]`: runs one pattern
// command over the whole content of FILE (standard input without FILE), byte
// for byte, as the table stage does.
//
// Output: "s" and "tr" write the resulting text (the input when the count is
// 0); "m" writes nothing, or with --groups one line "i START END" (byte
// offsets) or "i -" per group 0..n. --count adds "count N" on standard error.
// Exit status: 0 count >= 1, 1 count 0, 2 engine failure (its message on
// standard error, nothing on standard output), unreadable input, or input
// holding a NUL byte.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "regex/pattern_engine.h"

namespace ostrevin::cli {

namespace {

struct ApplyOptions {
  bool groups = false;
  bool count = false;
  std::string command;
  std::string file;
};

// Reads all of `stream`; errno is kept when reading fails.
bool ReadAll(std::FILE* stream, std::string& out) {
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, stream);
    out.append(buffer, n);
    if (n < sizeof buffer) return std::ferror(stream) == 0;
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The input text, or nothing after writing a message.
std::optional<std::string> ReadInput(const std::string& file) {
  std::string text;
  if (file.empty() || file == "-") {
    if (!ReadAll(stdin, text)) {
      std::cerr << "apply: cannot read standard input: " << std::strerror(errno) << '\n';
      return std::nullopt;
    }
    return text;
  }
  errno = 0;
  const std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.c_str(), "rb"));
  if (!stream || !ReadAll(stream.get(), text)) {
    std::cerr << "apply: cannot read " << file << ": " << std::strerror(errno) << '\n';
    return std::nullopt;
  }
  return text;
}

int RunApply(const ApplyOptions& options) {
  const std::optional<std::string> text = ReadInput(options.file);
  if (!text) return 2;
  if (text->find('\0') != std::string::npos) {
    std::cerr << "apply: the input holds a NUL byte\n";
    return 2;
  }
  regex::PatternSlot slot;
  const bool translation = options.command.starts_with("tr");
  const regex::PatternResult result = slot.Run(options.command, *text);
  if (result.count < 0) {
    if (!result.message.empty()) std::cerr << result.message << '\n';
    return 2;
  }
  if (!result.message.empty()) {
    // A substitution that failed inside the matcher reports 0 with a message.
    std::cerr << result.message << '\n';
    return 2;
  }
  const bool substitution =
      !translation && !options.command.starts_with('m') && !options.command.starts_with('/');
  if (translation || substitution) {
    const std::string_view out = result.count > 0 ? result.text : std::string_view(*text);
    if (!out.empty()) std::fwrite(out.data(), 1, out.size(), stdout);
  } else if (options.groups) {
    // Without a match no group took part.
    for (int i = 0; i <= slot.GroupCount(); ++i) {
      const std::optional<regex::GroupSpan> span = result.count > 0 ? slot.Group(i) : std::nullopt;
      if (span) {
        std::printf("%d %zu %zu\n", i, span->begin, span->end);
      } else {
        std::printf("%d -\n", i);
      }
    }
  }
  if (std::fflush(stdout) != 0) {
    std::cerr << "apply: cannot write standard output: " << std::strerror(errno) << '\n';
    return 2;
  }
  if (options.count) std::cerr << "count " << result.count << '\n';
  return result.count > 0 ? 0 : 1;
}

}  // namespace

void AddApplyCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ApplyOptions>();
  CLI::App* sub = app.add_subcommand(
      "apply", "Run one pattern command (m, s or tr) over the whole content of a file");
  sub->add_flag("--groups", options->groups,
                "For a match: print each group as 'i START END' or 'i -'");
  sub->add_flag("--count", options->count, "Print 'count N' on standard error");
  sub->add_option("COMMAND", options->command, "Pattern command, e.g. s/a/b/g")->required();
  sub->add_option("FILE", options->file, "Input file (standard input when absent or -)");
  sub->callback([options, &status] { status = RunApply(*options); });
}

}  // namespace ostrevin::cli
