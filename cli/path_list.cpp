#include "cli/path_list.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "conversion/messages.h"
#include "conversion/path_names.h"

namespace ostrevin::cli {

std::vector<RunEntry> PathList::Entries(bool keep_tree) const {
  std::vector<RunEntry> entries;
  entries.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    entries.push_back({files[i], keep_tree ? below_argument[i] : std::string()});
  }
  return entries;
}

PathList CollectPaths(const std::vector<std::string>& paths, const WalkExclusions& exclusions) {
  std::vector<std::string> files;
  std::vector<std::string> below;
  bool some_missing = false;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    const std::size_t first = files.size();
    const AddPathResult added = AddPathOrFolder(path, files, exclusions);
    if (added == AddPathResult::kMissing) {
      const std::string message = messages::Format(messages::kPathNotFound, "%1", path) + "\n";
      std::fwrite(message.data(), 1, message.size(), stderr);
      some_missing = true;
    }
    // Files below a folder are joined to it as JoinPath does, so each one
    // starts with that prefix.
    const std::size_t prefix = added == AddPathResult::kFolder ? JoinPath(path, "").size() : 0;
    for (std::size_t i = first; i < files.size(); ++i) {
      below.push_back(prefix > 0 ? files[i].substr(prefix) : FileNameOf(files[i]));
    }
  }

  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&files](std::size_t a, std::size_t b) {
    return FileListLess(files[a], files[b]);
  });
  PathList list;
  list.some_missing = some_missing;
  for (const std::size_t i : order) {
    list.files.push_back(std::move(files[i]));
    list.below_argument.push_back(std::move(below[i]));
  }
  return list;
}

StandardInputSplit SplitStandardInput(const std::vector<std::string>& arguments,
                                      std::string_view command) {
  StandardInputSplit split;
  for (const std::string& argument : arguments) {
    if (argument != "-") {
      split.paths.push_back(argument);
    } else if (split.standard_input) {
      split.repeated = true;
    } else {
      split.standard_input = true;
    }
  }
  if (split.repeated) {
    const std::string message =
        std::string(command) + ": - (standard input) can be given only once\n";
    std::fwrite(message.data(), 1, message.size(), stderr);
  }
  return split;
}

}  // namespace ostrevin::cli
