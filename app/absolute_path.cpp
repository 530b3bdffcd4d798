// Lexical resolution of list paths against a folder.
#include "app/absolute_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ostrevin::app {
namespace {

std::string CurrentFolder() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool IsRealFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Appends the components of `path` to `out` (an absolute path without a
// trailing slash, "" standing for the root).
void AppendComponents(std::string& out, const std::string& path) {
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    const std::size_t last = out.rfind('/');
    if (part == ".." && last != std::string::npos && out.substr(last + 1) != ".." &&
        IsRealFolder(out)) {
      out.erase(last);
      continue;
    }
    if (part == ".." && out.empty()) continue;  // the root's parent is the root
    out += '/';
    out += part;
  }
}

}  // namespace

std::string AbsolutePath(const std::string& path, const std::string& folder) {
  if (path.empty()) return path;
  std::string out;
  if (path.front() != '/') {
    const std::string base = folder.empty() ? CurrentFolder() : folder;
    if (base.empty()) return path;
    AppendComponents(out, base);
  }
  AppendComponents(out, path);
  return out.empty() ? "/" : out;
}

}  // namespace ostrevin::app
