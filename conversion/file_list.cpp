#include "conversion/file_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "conversion/path_names.h"
#include "conversion/temporary_name.h"

namespace ostrevin {

namespace {

unsigned char Folded(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// The canonical form of `path` (every link resolved); empty when it cannot be
// resolved.
std::string CanonicalPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

bool LiesInside(const std::string& canonical, const std::string& root) {
  if (canonical.empty() || root.empty()) return false;
  if (root == "/") return true;
  return canonical.size() > root.size() && canonical.starts_with(root) &&
         canonical[root.size()] == '/';
}

class FolderWalk {
 public:
  FolderWalk(const std::string& root, std::vector<std::string>& paths,
             const WalkExclusions& exclusions)
      : root_(CanonicalPath(root)), paths_(paths), exclusions_(exclusions) {}

  void Walk(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    if (!walked_.insert(FileIdentity::Of(info)).second) return;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (IsTemporaryName(name)) continue;  // another run's file, possibly half-written
      Visit(JoinPath(folder, name), entry->d_type);
    }
  }

 private:
  // `type` is the kind the folder's listing gives (DT_UNKNOWN where the file
  // system gives none): a regular file needs no look-up, and only a link
  // needs a second one.
  void Visit(std::string path, unsigned char type) {
    if (type == DT_REG) {
      paths_.push_back(std::move(path));
      return;
    }
    struct stat target {};
    bool found = lstat(path.c_str(), &target) == 0;
    if (found && S_ISLNK(target.st_mode)) {
      if (!LiesInside(CanonicalPath(path), root_)) return;
      found = stat(path.c_str(), &target) == 0;
    }
    if (found && S_ISDIR(target.st_mode)) {
      if (FileIdentity::Of(target) != exclusions_.output_folder) Walk(path);
    } else {
      paths_.push_back(std::move(path));
    }
  }

  std::string root_;  // the walked folder, canonical: what "inside" means
  std::vector<std::string>& paths_;
  const WalkExclusions& exclusions_;
  std::set<FileIdentity> walked_;
};

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

WalkExclusions ExclusionsFor(const ConversionOptions& options) {
  WalkExclusions exclusions;
  if (!options.OverWrite) {
    exclusions.output_folder =
        IdentityOfPath(options.Destination.empty() ? std::string(".") : options.Destination);
  }
  return exclusions;
}

AddPathResult AddPathOrFolder(const std::string& path, std::vector<std::string>& paths,
                              const WalkExclusions& exclusions) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      AddFolderFiles(path, paths, exclusions);
      return AddPathResult::kFolder;
    }
  } else if (lstat(path.c_str(), &info) != 0) {
    return AddPathResult::kMissing;
  }
  paths.push_back(path);
  return AddPathResult::kFile;
}

void AddFolderFiles(const std::string& folder, std::vector<std::string>& paths,
                    const WalkExclusions& exclusions) {
  FolderWalk(folder, paths, exclusions).Walk(folder);
}

}  // namespace ostrevin
