// The file list of a command-line run: the paths given, each added as a
// dropped path would be (folders walked), then put into the list order.
#pragma once

#include <string>
#include <vector>

namespace ostrevin::cli {

struct PathList {
  std::vector<std::string> files;  // in the list order
  bool some_missing = false;       // a path did not exist (reported on standard error)
};

// Adds each path by AddPathOrFolder, in order, and sorts the result. A path
// that does not exist is reported on standard error as "%1 が見つかりませんでした。"
// and the others are still added. Empty paths are skipped.
[[nodiscard]] PathList CollectPaths(const std::vector<std::string>& paths);

}  // namespace ostrevin::cli
