// ostrevin-cli convert: the batch run over the paths given, with the options
// of a settings file and the command line; "-" and --stdout make it a filter.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/convert_args.h"
#include "cli/exit_status.h"
#include "cli/path_list.h"
#include "cli/stop_signal.h"
#include "cli/terminal_host.h"
#include "conversion/destination_folder.h"
#include "conversion/messages.h"
#include "conversion/run_conversion.h"
#include "core/file_error.h"
#include "settings/options_store.h"
#include "settings/profile_store.h"
#include "settings/settings_file.h"

namespace ostrevin::cli {

namespace {

// The name of standard input as a PATH, and of standard output as an output.
constexpr std::string_view kStandardStream = "-";
// After an output that exists in a dry run.
constexpr std::string_view kExistsMark = " (上書き)";

void PrintLine(std::FILE* stream, const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stream);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// The entries of the run: standard input first when "-" was given, then the
// files in list order; with --stdout every text goes to standard output.
std::vector<RunEntry> EntriesOf(const ConvertArgs& args, const PathList& list, bool from_stdin) {
  std::vector<RunEntry> entries;
  if (from_stdin) {
    entries.push_back({.source = std::string(kStandardStream),
                       .source_fd = STDIN_FILENO,
                       .output_fd = STDOUT_FILENO,
                       .output_name = std::string(kStandardStream)});
  }
  for (RunEntry& entry : list.Entries(args.keep_tree)) {
    if (args.to_stdout) {
      entry.output_fd = STDOUT_FILENO;
      entry.output_name = std::string(kStandardStream);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// -n: each "source -> output", nothing read, converted or written.
void PrintDryRun(const std::vector<RunEntry>& entries, const ConversionOptions& options) {
  for (const RunEntry& entry : entries) {
    const std::string output = OutputPathOf(options, entry);
    std::string line = entry.source + std::string(messages::kStatusSeparator) + output;
    if (!entry.ToStream() && PathExists(output)) line += kExistsMark;
    PrintLine(stdout, line);
  }
}

// The exit status of a finished run (before the standard streams are checked).
int StatusOf(const RunSummary& summary, const PathList& list) {
  if (summary.outcome != RunOutcome::kFinished) return kExitError;
  if (list.some_missing || summary.AnyMessage()) return kExitTrouble;
  if (summary.output_lost > 0) {
    PrintLine(stderr, std::string(kStandardOutputLost));
    return kExitOutputLost;
  }
  return kExitDone;
}

int RunConvert(const ConvertArgs& args) {
  const StandardInputSplit split = SplitStandardInput(args.paths, "convert");
  if (split.repeated) return kExitError;
  std::vector<std::string> paths;
  std::optional<SettingsFileContents> settings;
  bool settings_set_kanji = false;
  if (args.settings) {
    settings = LoadSettingsFile(*args.settings);
    if (settings->error_number != 0) {
      // Taking the defaults instead would write over the sources in the
      // current folder: a settings file named on purpose is read or refused.
      PrintLine(stderr, SettingsUnreadableMessage(*args.settings, settings->error_number));
      return kExitError;
    }
    paths = settings->files;  // relative entries: relative to the current folder
    settings_set_kanji = ProfileStore(*args.settings).HasKey("Folder", "KanjiConvert");
  }
  paths.insert(paths.end(), split.paths.begin(), split.paths.end());
  const ConversionOptions options =
      OptionsOf(args, settings ? &settings->options : nullptr, settings_set_kanji);
  if (!FitsPathLimit(options.Destination) || !FitsPathLimit(options.TablePath)) {
    PrintLine(stderr, PathLimitMessage());
    return kExitError;
  }

  const PathList list = CollectPaths(paths, ExclusionsFor(options));
  const std::vector<RunEntry> entries = EntriesOf(args, list, split.standard_input);
  if (entries.empty()) {
    PrintLine(stderr, std::string(messages::kEmptyList));
    return kExitError;
  }
  // Checked once for the whole run rather than failing file by file; with
  // --keep-tree subfolders are made below the destination, never the
  // destination itself, so that a mistyped --dest does not grow a tree in a
  // new place.
  const bool any_file_output =
      std::any_of(entries.begin(), entries.end(), [](const RunEntry& e) { return !e.ToStream(); });
  if (any_file_output && !options.OverWrite) {
    if (const int error = DestinationFolderError(options.Destination); error != 0) {
      PrintLine(stderr, messages::FormatError(messages::kOutputOpenError, error));
      return kExitError;
    }
  }
  if (args.dry_run) {
    PrintDryRun(entries, options);
    return list.some_missing ? kExitTrouble : kExitDone;
  }

  const bool any_stream_output =
      std::any_of(entries.begin(), entries.end(), [](const RunEntry& e) { return e.ToStream(); });
  TerminalHost host({.answers = args.yes ? OverwriteAnswers::kYes : OverwriteAnswers::kAsk,
                     .status_to_stderr = any_stream_output,
                     .quiet = args.quiet,
                     .stdin_is_data = split.standard_input});
  const StopRequest& stop = InstallStopHandlers();
  try {
    const RunSummary summary =
        RunConversion(entries, options, host, RunConfirmation::kSkip,
                      args.substitute ? Unconvertible::kSubstitute : Unconvertible::kRefuse, &stop,
                      OutputWriting::kOverlapped);
    return StatusOf(summary, list);
  } catch (const FileError& error) {
    PrintLine(stderr, FileErrorMessage(error.kind(), error.path()));
  } catch (const std::bad_alloc&) {
    PrintLine(stderr, kOutOfMemoryMessage);
  }
  return kExitError;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& status) {
  auto args = std::make_shared<ConvertArgs>();
  CLI::App* command = app.add_subcommand(
      "convert",
      "Convert files to Shift-JIS with CR LF line ends (folders: every file below them)");
  AddConvertOptions(*command, *args);
  command->callback([args, &status] { status = RunConvert(*args); });
}

}  // namespace ostrevin::cli
