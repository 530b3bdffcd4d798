// ostrevin-cli convert: the batch run over the paths given, with the options
// of a settings file and the command line.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/path_list.h"
#include "cli/terminal_host.h"
#include "conversion/messages.h"
#include "conversion/run_conversion.h"
#include "core/file_error.h"
#include "settings/options_store.h"
#include "settings/profile_store.h"
#include "settings/settings_file.h"

namespace ostrevin::cli {

namespace {

// An on/off pair of flags: which of the two was given, if either.
struct Switch {
  bool on = false;
  bool off = false;
  void ApplyTo(bool& value) const {
    if (on) value = true;
    if (off) value = false;
  }
};

struct ConvertArgs {
  std::vector<std::string> paths;
  std::optional<std::string> dest;
  std::optional<std::string> kanji;
  std::optional<std::string> table;
  std::optional<std::string> settings;
  Switch overwrite;
  Switch strip_html;
  Switch no_table;  // on: --no-table
  Switch regexp;    // on: --regexp, off: --simple
  Switch no_output_unchanged;
  bool yes = false;
  bool keep_tree = false;
  bool substitute = false;
};

void PrintError(const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// 0 when `folder` is a folder (empty: the current one), else why not.
int FolderError(const std::string& folder) {
  struct stat info {};
  if (stat(folder.empty() ? "." : folder.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

std::string CurrentFolder() {
  std::error_code error;
  const auto path = std::filesystem::current_path(error);
  return error ? std::string() : path.string();
}

// The options: the settings file's (or the defaults, with the current folder
// as Destination), then whatever the command line gave, in that order.
// Without --kanji, and without a settings file that sets KanjiConvert, the
// code is detected and converted: a command called convert whose outputs are
// Shift-JIS must not pass EUC or UTF-8 through by default.
ConversionOptions OptionsOf(const ConvertArgs& args, const ConversionOptions* from_settings,
                            bool settings_set_kanji) {
  ConversionOptions options;
  if (from_settings) {
    options = *from_settings;
  } else {
    options.Destination = CurrentFolder();
  }
  if (args.dest) options.Destination = *args.dest;  // empty: the current folder
  args.overwrite.ApplyTo(options.OverWrite);
  const std::string kanji = args.kanji.value_or(settings_set_kanji ? "" : "auto");
  if (!kanji.empty()) {
    options.KanjiConvert = kanji != "off";
    if (kanji == "auto") options.KanjiCode = 0;
    if (kanji == "euc") options.KanjiCode = 1;
    if (kanji == "jis") options.KanjiCode = 2;
    if (kanji == "utf8") options.KanjiCode = 3;
  }
  args.strip_html.ApplyTo(options.DeleteHTMLTag);
  if (args.table) {
    options.UseTable = true;
    options.TablePath = *args.table;
  }
  if (args.no_table.on) options.UseTable = false;
  if (args.regexp.on) options.RegExp = 1;
  if (args.regexp.off) options.RegExp = 0;
  args.no_output_unchanged.ApplyTo(options.NoOutput);
  return options;
}

int RunConvert(const ConvertArgs& args) {
  std::vector<std::string> paths;
  std::optional<SettingsFileContents> settings;
  bool settings_set_kanji = false;
  if (args.settings) {
    settings = LoadSettingsFile(*args.settings);
    if (settings->error_number != 0) {
      // Taking the defaults instead would write over the sources in the
      // current folder: a settings file named on purpose is read or refused.
      PrintError(SettingsUnreadableMessage(*args.settings, settings->error_number));
      return 2;
    }
    paths = settings->files;  // relative entries: relative to the current folder
    settings_set_kanji = ProfileStore(*args.settings).HasKey("Folder", "KanjiConvert");
  }
  paths.insert(paths.end(), args.paths.begin(), args.paths.end());
  const ConversionOptions options =
      OptionsOf(args, settings ? &settings->options : nullptr, settings_set_kanji);
  if (!FitsPathLimit(options.Destination) || !FitsPathLimit(options.TablePath)) {
    PrintError(PathLimitMessage());
    return 2;
  }

  // Subfolders are made below the destination, never the destination itself:
  // a mistyped --dest must not grow a tree in a new place.
  if (args.keep_tree && !options.OverWrite) {
    if (const int error = FolderError(options.Destination); error != 0) {
      PrintError(messages::FormatError(messages::kOutputOpenError, error));
      return 2;
    }
  }

  const PathList list = CollectPaths(paths, ExclusionsFor(options));
  TerminalHost host(args.yes ? OverwriteAnswers::kYes : OverwriteAnswers::kAsk);
  try {
    const RunSummary summary =
        RunConversion(list.Entries(args.keep_tree), options, host, RunConfirmation::kSkip,
                      args.substitute ? Unconvertible::kSubstitute : Unconvertible::kRefuse);
    if (summary.outcome != RunOutcome::kFinished) return 2;
    return list.some_missing || summary.failed > 0 ? 1 : 0;
  } catch (const FileError& error) {
    PrintError(FileErrorMessage(error.kind(), error.path()));
  } catch (const std::bad_alloc&) {
    PrintError(kOutOfMemoryMessage);
  }
  return 2;
}

void AddSwitch(CLI::App& command, Switch& value, const std::string& on, const std::string& off,
               const std::string& on_help, const std::string& off_help) {
  CLI::Option* on_option = command.add_flag(on, value.on, on_help);
  CLI::Option* off_option = command.add_flag(off, value.off, off_help);
  on_option->excludes(off_option);
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& status) {
  auto args = std::make_shared<ConvertArgs>();
  CLI::App* command = app.add_subcommand(
      "convert",
      "Convert files to Shift-JIS with CR LF line ends (folders: every file below them)");
  command->add_option("PATH", args->paths, "Files or folders to convert");
  command->add_option("--dest", args->dest,
                      "Destination folder (default: the current folder; empty: the current "
                      "folder)");
  // As a transform, IsMember hands on the set's own spelling ("UTF8" -> "utf8").
  command
      ->add_option("--kanji", args->kanji,
                   "Character-code conversion to Shift-JIS: auto, euc, jis, utf8 or off, in "
                   "any letter case (default: auto, unless a --settings file sets "
                   "KanjiConvert)")
      ->transform(CLI::IsMember({"auto", "euc", "jis", "utf8", "off"}, CLI::ignore_case));
  command->add_option("--table", args->table, "Pass every file through this conversion table");
  command->add_option("--settings", args->settings,
                      "Read options and the file list from this settings file (command-line "
                      "options override it)");
  AddSwitch(*command, args->overwrite, "--overwrite", "--no-overwrite",
            "Write each result over its source", "Write into the destination folder");
  AddSwitch(*command, args->strip_html, "--strip-html", "--no-strip-html",
            "Remove HTML tags and entities (output gets .txt appended)", "Keep HTML as it is");
  AddSwitch(*command, args->regexp, "--regexp", "--simple",
            "The table holds pattern commands (m//, s///, tr///)",
            "The table holds plain replacements");
  AddSwitch(*command, args->no_output_unchanged, "--no-output-unchanged", "--output-unchanged",
            "Write nothing for a file that no stage changed", "Write every file");
  command->add_flag("--no-table", args->no_table.on, "Use no conversion table")
      ->excludes(command->get_option("--table"));
  command->add_flag("--substitute", args->substitute,
                    "Write 〓 for each character Shift-JIS cannot hold and each invalid byte "
                    "sequence, instead of refusing the file");
  command->add_flag("-y,--yes", args->yes, "Answer Yes to every overwrite question");
  command->add_flag("--keep-tree", args->keep_tree,
                    "Files found below a folder argument keep their path below it under the "
                    "destination (subfolders are created; the destination must exist)");
  command->callback([args, &status] { status = RunConvert(*args); });
}

}  // namespace ostrevin::cli
