#include "cli/path_list.h"

#include <cstdio>

#include "conversion/file_list.h"
#include "conversion/messages.h"

namespace ostrevin::cli {

PathList CollectPaths(const std::vector<std::string>& paths) {
  PathList list;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    if (AddPathOrFolder(path, list.files) == AddPathResult::kMissing) {
      const std::string message = messages::Format(messages::kPathNotFound, "%1", path) + "\n";
      std::fwrite(message.data(), 1, message.size(), stderr);
      list.some_missing = true;
    }
  }
  SortFileList(list.files);
  return list;
}

}  // namespace ostrevin::cli
