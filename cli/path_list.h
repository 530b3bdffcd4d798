// The file list of a command-line run: the paths given, each added as a
// dropped path would be (folders walked), then put into the list order; and
// "-", standard input, taken out of them first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "conversion/file_list.h"
#include "conversion/run_plan.h"

namespace ostrevin::cli {

struct PathList {
  std::vector<std::string> files;  // in the list order
  // Beside each file (same index): its path below the folder argument it was
  // found in ("sub/a.txt"), or its file name when it was given itself.
  std::vector<std::string> below_argument;
  bool some_missing = false;  // a path did not exist (reported on standard error)

  // The run's entries: with `keep_tree` each output keeps the file's path
  // below its folder argument, else every output goes directly into the
  // destination.
  [[nodiscard]] std::vector<RunEntry> Entries(bool keep_tree) const;
};

// Adds each path by AddPathOrFolder, in order, and sorts the result. A path
// that does not exist is reported on standard error as "%1 が見つかりませんでした。"
// and the others are still added. Empty paths are skipped. Folder walks leave
// out `exclusions`.
[[nodiscard]] PathList CollectPaths(const std::vector<std::string>& paths,
                                    const WalkExclusions& exclusions = {});

// The PATH arguments with "-" (standard input) taken out.
struct StandardInputSplit {
  std::vector<std::string> paths;  // every other argument, in order
  bool standard_input = false;     // "-" was given
  bool repeated = false;           // "-" was given more than once (reported on standard error)
};

// Takes "-" out of `arguments`; `command` names the subcommand in the report.
[[nodiscard]] StandardInputSplit SplitStandardInput(const std::vector<std::string>& arguments,
                                                    std::string_view command);

}  // namespace ostrevin::cli
