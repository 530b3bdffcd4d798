// ostrevin-cli scan: the platform-dependent character scan over files and
// folders, printing the report with its CR LF line ends.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/path_list.h"
#include "scan/scanner.h"

namespace ostrevin::cli {
namespace {

// The scan needs a host only for its messages: they go to standard error.
// No busy cursor and no beep on a terminal.
class ScanHost : public Host {
 public:
  bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return false; }
  void ShowMessage(std::string_view text, std::string_view, MessageIcon) override {
    std::cerr << text << '\n';
  }
  void SetStatus(std::string_view) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void SetBusy(bool) override {}
  void Beep() override {}
};

struct ScanArguments {
  std::vector<std::string> paths;
  bool no_kana = false;
  bool no_special = false;
  bool no_extended = false;
  bool no_user = false;
  bool raw = false;
  bool utf8 = false;
};

int RunScanCommand(const ScanArguments& arguments) {
  ScanHost host;
  const StandardInputSplit split = SplitStandardInput(arguments.paths, "scan");
  if (split.repeated) return kExitError;
  // Folders are walked and the list ordered exactly as for convert.
  const PathList list = CollectPaths(split.paths);
  int status = list.some_missing ? kExitTrouble : kExitDone;

  ScanFlags flags;
  flags.half_width_kana = !arguments.no_kana;
  flags.special = !arguments.no_special;
  flags.extended = !arguments.no_extended;
  flags.user_defined = !arguments.no_user;
  const bool utf8 = arguments.utf8 || (!arguments.raw && ::isatty(STDOUT_FILENO) == 1);
  const ScanRendering rendering = utf8 ? ScanRendering::kUtf8 : ScanRendering::kRaw;

  // Standard input comes first, as a block named "-".
  std::string text;
  if (split.standard_input) {
    const ScanFileResult result = ScanStream(STDIN_FILENO, flags);
    if (!result.read) status = kExitTrouble;
    text = FormatScanBlock("-", result, rendering);
  }
  if (split.standard_input && list.files.empty()) {
    text += kScanEndLine;
  } else {
    const std::optional<ScanReport> report = RunScan(list.files, flags, rendering, host);
    if (!report) return kExitError;
    if (!report->all_read) status = kExitTrouble;
    text += report->text;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return status;
}

}  // namespace

void AddScanCommand(CLI::App& app, int& status) {
  auto arguments = std::make_shared<ScanArguments>();
  CLI::App* scan = app.add_subcommand(
      "scan", "Report the platform-dependent Shift-JIS characters of files and folders");
  scan->add_flag("--no-kana", arguments->no_kana, "Do not report half-width katakana");
  scan->add_flag("--no-special", arguments->no_special,
                 "Do not report special characters (0x8540-0x889E)");
  scan->add_flag("--no-extended", arguments->no_extended,
                 "Do not report extended characters (0xEB40-0xEFFC)");
  scan->add_flag("--no-user", arguments->no_user,
                 "Do not report the user-defined area (0xF040 and above)");
  CLI::Option* raw =
      scan->add_flag("--raw", arguments->raw, "Write the found characters as their raw bytes");
  CLI::Option* utf8 = scan->add_flag("--utf8", arguments->utf8,
                                     "Write the found characters decoded from code page 932 "
                                     "(default when standard output is a terminal)");
  raw->excludes(utf8);
  scan->add_option("PATH", arguments->paths,
                   "Files and folders to scan (folders are walked); - is standard input")
      ->required();
  scan->callback([arguments, &status] { status = RunScanCommand(*arguments); });
}

}  // namespace ostrevin::cli
