// ostrevin-cli detect: the character code of each file, one line per file.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/path_list.h"
#include "conversion/kanji_code.h"
#include "conversion/messages.h"
#include "conversion/source_file.h"
#include "core/file_error.h"

namespace ostrevin::cli {

namespace {

const char* CodeName(DetectedCode code) {
  switch (code) {
    case DetectedCode::kNone:
      return "none";
    case DetectedCode::kEuc:
      return "euc";
    case DetectedCode::kShiftJis:
      return "sjis";
    case DetectedCode::kJis:
      return "jis";
    case DetectedCode::kUtf8:
      return "utf8";
  }
  return "none";
}

void WriteLine(std::FILE* stream, const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stream);
}

// Detects the code of one file, or of standard input for "-"; false (after a
// message) when it cannot be read.
bool DetectOne(const std::string& path) {
  try {
    const SourceFile file =
        path == "-" ? ReadSourceStream(STDIN_FILENO, path) : ReadSourceFile(path);
    if (file.error_number != 0) {
      WriteLine(stderr,
                path + ": " + messages::FormatError(messages::kSourceOpenError, file.error_number));
      return false;
    }
    // The text model ends at the first NUL byte, where the reading stopped.
    WriteLine(stdout, path + ": " + CodeName(DetectKanjiCode(file.text)));
    return true;
  } catch (const FileError& error) {
    WriteLine(stderr, FileErrorMessage(error.kind(), error.path()));
  } catch (const std::bad_alloc&) {
    WriteLine(stderr, path + ": " + kOutOfMemoryMessage);
  }
  return false;
}

}  // namespace

void AddDetectCommand(CLI::App& app, int& status) {
  auto paths = std::make_shared<std::vector<std::string>>();
  CLI::App* command = app.add_subcommand(
      "detect", "Print the character code of each file: none, euc, sjis, jis or utf8");
  command->add_option("PATH", *paths, "Files or folders; - is standard input")->required();
  command->callback([paths, &status] {
    const StandardInputSplit split = SplitStandardInput(*paths, "detect");
    if (split.repeated) {
      status = kExitError;
      return;
    }
    const PathList list = CollectPaths(split.paths);
    bool all_read = !list.some_missing;
    if (split.standard_input && !DetectOne("-")) all_read = false;
    for (const std::string& file : list.files) {
      if (!DetectOne(file)) all_read = false;
    }
    status = all_read ? kExitDone : kExitTrouble;
  });
}

}  // namespace ostrevin::cli
