// Scratch folders for tests that touch files: each test gets its own folder,
// removed at the end, with whole-file reads and writes by path. ScratchTest
// is the fixture every file-system suite builds on.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace ostrevin::testing {

// Writes `bytes` to `path` exactly (no line-end translation), replacing it.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) ADD_FAILURE() << "cannot write " << path;
}

// Every byte of the file at `path`; empty when it cannot be read.
[[nodiscard]] inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// True when anything is at `path`, a dangling symbolic link included.
[[nodiscard]] inline bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// The names in `folder`, sorted, for checking that no temporary file is left.
[[nodiscard]] inline std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrevin-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    // Folders that a test made read-only must be writable again to be emptied.
    ::chmod(path_.c_str(), 0700);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
  }

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // The path of `name` inside the folder.
  [[nodiscard]] std::string operator/(std::string_view name) const {
    return path_.string() + "/" + std::string(name);
  }

  // Makes the subfolder `name` with `mode` and returns its path.
  std::string Folder(std::string_view name, mode_t mode = 0755) const {
    const std::string folder = *this / name;
    if (::mkdir(folder.c_str(), mode) != 0) ADD_FAILURE() << "cannot make " << folder;
    return folder;
  }

  // Writes `bytes` exactly (no line-end translation) and returns the path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::string file = *this / name;
    WriteFile(file, bytes);
    return file;
  }

  [[nodiscard]] std::string Read(std::string_view name) const { return ReadFile(*this / name); }

 private:
  std::filesystem::path path_;
};

// A test with a scratch folder of its own.
class ScratchTest : public ::testing::Test {
 protected:
  ScratchFolder dir;

  [[nodiscard]] std::vector<std::string> Names() const { return NamesIn(dir.path()); }
};

}  // namespace ostrevin::testing
