#include "conversion/file_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "conversion/path_names.h"

namespace ostrevin {

namespace {

unsigned char Folded(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

using FolderId = std::pair<dev_t, ino_t>;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

void Walk(const std::string& folder, std::vector<std::string>& paths, std::set<FolderId>& walked) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
  if (!walked.insert({info.st_dev, info.st_ino}).second) return;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return;
  while (const dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    std::string path = JoinPath(folder, name);
    struct stat target {};
    if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
      Walk(path, paths, walked);
    } else {
      paths.push_back(std::move(path));
    }
  }
}

}  // namespace

bool FileListLess(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char fa = Folded(static_cast<unsigned char>(a[i]));
    const unsigned char fb = Folded(static_cast<unsigned char>(b[i]));
    if (fa != fb) return fa < fb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  // Equal without case: the raw bytes decide (upper case first).
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

void SortFileList(std::vector<std::string>& paths) {
  std::stable_sort(paths.begin(), paths.end(),
                   [](const std::string& a, const std::string& b) { return FileListLess(a, b); });
}

void InsertSorted(std::vector<std::string>& paths, std::string path) {
  const auto at = std::upper_bound(
      paths.begin(), paths.end(), path,
      [](const std::string& a, const std::string& b) { return FileListLess(a, b); });
  paths.insert(at, std::move(path));
}

AddPathResult AddPathOrFolder(const std::string& path, std::vector<std::string>& paths) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      AddFolderFiles(path, paths);
      return AddPathResult::kFolder;
    }
  } else if (lstat(path.c_str(), &info) != 0) {
    return AddPathResult::kMissing;
  }
  paths.push_back(path);
  return AddPathResult::kFile;
}

void AddFolderFiles(const std::string& folder, std::vector<std::string>& paths) {
  std::set<FolderId> walked;
  Walk(folder, paths, walked);
}

}  // namespace ostrevin
