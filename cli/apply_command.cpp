// `ostrevin-cli apply [--groups] [--count] COMMAND [FILE]`: runs one pattern
// command over the whole content of FILE (standard input without FILE), byte
// for byte, as the table stage does.
//
// Output: "s" and "tr" write the resulting text (the input when the count is
// 0); "m" writes nothing, or with --groups one line "i START END" (byte
// offsets) or "i -" per group 0..n. --count adds "count N" on standard error.
// Exit status: 0 count >= 1, 1 count 0, 2 engine failure (its message on
// standard error, nothing on standard output), unreadable input, input
// holding a NUL byte, or a command that Shift-JIS cannot hold; 3 when standard
// output could not be written.
//
// The text is Shift-JIS, so the command must be too: typed in a UTF-8
// terminal (the locale's code set), a command that is valid UTF-8 and holds
// characters beyond ASCII is converted to code page 932 first. A command that
// is not valid UTF-8 is taken as bytes already meant for the text, and
// --raw-command takes any command so.
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "core/cp932_text.h"
#include "regex/pattern_engine.h"

namespace ostrevin::cli {

namespace {

struct ApplyOptions {
  bool groups = false;
  bool count = false;
  bool raw_command = false;
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

bool HoldsNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The command in the text's encoding, or nothing after a message.
std::optional<std::string> EngineCommand(const ApplyOptions& options) {
  const std::string& command = options.command;
  if (options.raw_command || !HoldsNonAscii(command)) return command;
  std::setlocale(LC_ALL, "");
  if (std::string_view(nl_langinfo(CODESET)) != "UTF-8" || !IsValidUtf8(command)) return command;
  std::optional<std::string> shift_jis = Utf8ToCp932(command);
  if (!shift_jis) {
    std::cerr << "apply: the command holds a character that Shift-JIS cannot hold "
                 "(--raw-command passes its bytes unchanged)\n";
  }
  return shift_jis;
}

int RunApply(const ApplyOptions& options) {
  const std::optional<std::string> command = EngineCommand(options);
  if (!command) return kExitError;
  const std::optional<std::string> text = ReadInput(options.file);
  if (!text) return kExitError;
  if (text->find('\0') != std::string::npos) {
    std::cerr << "apply: the input holds a NUL byte\n";
    return kExitError;
  }
  regex::PatternSlot slot;
  const bool translation = command->starts_with("tr");
  const regex::PatternResult result = slot.Run(*command, *text);
  if (result.count < 0) {
    if (!result.message.empty()) std::cerr << result.message << '\n';
    return kExitError;
  }
  if (!result.message.empty()) {
    // A substitution that failed inside the matcher reports 0 with a message.
    std::cerr << result.message << '\n';
    return kExitError;
  }
  const bool substitution =
      !translation && !command->starts_with('m') && !command->starts_with('/');
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
  // The front end reports the lost output.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kExitOutputLost;
  if (options.count) std::cerr << "count " << result.count << '\n';
  return result.count > 0 ? kExitDone : kExitTrouble;
}

}  // namespace

void AddApplyCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ApplyOptions>();
  CLI::App* sub = app.add_subcommand(
      "apply", "Run one pattern command (m, s or tr) over the whole content of a file");
  sub->add_flag("--groups", options->groups,
                "For a match: print each group as 'i START END' or 'i -'");
  sub->add_flag("--count", options->count, "Print 'count N' on standard error");
  sub->add_flag("--raw-command", options->raw_command,
                "Pass the command's bytes to the engine unchanged (no conversion from the "
                "terminal's UTF-8 to Shift-JIS)");
  sub->add_option("COMMAND", options->command, "Pattern command, e.g. s/a/b/g")->required();
  sub->add_option("FILE", options->file, "Input file (standard input when absent or -)");
  sub->callback([options, &status] { status = RunApply(*options); });
}

}  // namespace ostrevin::cli
