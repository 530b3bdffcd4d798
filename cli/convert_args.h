// The options of `ostrevin-cli convert`: what the command line gave, and the
// conversion options they make together with a settings file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "settings/conversion_options.h"

namespace ostrevin::cli {

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
  std::vector<std::string> paths;  // "-" stands for standard input
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
  bool to_stdout = false;  // --stdout
  bool quiet = false;
  bool dry_run = false;
};

// Registers every option of convert on `command`, storing into `args`.
void AddConvertOptions(CLI::App& command, ConvertArgs& args);

// The options: the settings file's (or the defaults, with the current folder
// as Destination), then whatever the command line gave, in that order.
// Without --kanji, and without a settings file that sets KanjiConvert, the
// code is detected and converted: a command called convert whose outputs are
// Shift-JIS must not pass EUC or UTF-8 through by default.
[[nodiscard]] ConversionOptions OptionsOf(const ConvertArgs& args,
                                          const ConversionOptions* from_settings,
                                          bool settings_set_kanji);

}  // namespace ostrevin::cli
