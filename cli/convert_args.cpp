#include "cli/convert_args.h"

#include <filesystem>

namespace ostrevin::cli {

namespace {

std::string CurrentFolder() {
  std::error_code error;
  const auto path = std::filesystem::current_path(error);
  return error ? std::string() : path.string();
}

void AddSwitch(CLI::App& command, Switch& value, const std::string& on, const std::string& off,
               const std::string& on_help, const std::string& off_help) {
  CLI::Option* on_option = command.add_flag(on, value.on, on_help);
  CLI::Option* off_option = command.add_flag(off, value.off, off_help);
  on_option->excludes(off_option);
}

}  // namespace

void AddConvertOptions(CLI::App& command, ConvertArgs& args) {
  command.add_option("PATH", args.paths,
                     "Files or folders to convert; - is standard input, converted to standard "
                     "output");
  command.add_option("--dest", args.dest,
                     "Destination folder (default: the current folder; empty: the current "
                     "folder)");
  // As a transform, IsMember hands on the set's own spelling ("UTF8" -> "utf8").
  command
      .add_option("--kanji", args.kanji,
                  "Character-code conversion to Shift-JIS: auto, euc, jis, utf8 or off, in "
                  "any letter case (default: auto, unless a --settings file sets "
                  "KanjiConvert)")
      ->transform(CLI::IsMember({"auto", "euc", "jis", "utf8", "off"}, CLI::ignore_case));
  command.add_option("--table", args.table, "Pass every file through this conversion table");
  command.add_option("--settings", args.settings,
                     "Read options and the file list from this settings file (command-line "
                     "options override it)");
  AddSwitch(command, args.overwrite, "--overwrite", "--no-overwrite",
            "Write each result over its source", "Write into the destination folder");
  AddSwitch(command, args.strip_html, "--strip-html", "--no-strip-html",
            "Remove HTML tags and entities (output gets .txt appended)", "Keep HTML as it is");
  AddSwitch(command, args.regexp, "--regexp", "--simple",
            "The table holds pattern commands (m//, s///, tr///)",
            "The table holds plain replacements");
  AddSwitch(command, args.no_output_unchanged, "--no-output-unchanged", "--output-unchanged",
            "Write nothing for a file that no stage changed", "Write every file");
  command.add_flag("--no-table", args.no_table.on, "Use no conversion table")
      ->excludes(command.get_option("--table"));
  command.add_flag("--substitute", args.substitute,
                   "Write 〓 for each character Shift-JIS cannot hold and each invalid byte "
                   "sequence, instead of refusing the file");
  command.add_flag("-y,--yes", args.yes, "Answer Yes to every overwrite question");
  command.add_flag("--keep-tree", args.keep_tree,
                   "Files found below a folder argument keep their path below it under the "
                   "destination (subfolders are created; the destination must exist)");
  command.add_flag("--stdout", args.to_stdout,
                   "Write every converted text to standard output, in list order, instead of "
                   "to files");
  command.add_flag("-q,--quiet", args.quiet,
                   "Print no status lines (messages and questions remain)");
  command.add_flag("-n,--dry-run", args.dry_run,
                   "Print \"source -> output\" for each file (\" (上書き)\" after an output "
                   "that exists) and convert nothing");
}

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

}  // namespace ostrevin::cli
