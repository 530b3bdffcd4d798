// A scratch folder for fuzz targets whose code under test reads or writes
// files by path: made for one input and removed with everything in it.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin::fuzz {

class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  [[nodiscard]] const std::string& path() const { return path_; }
  // The path of `name` inside the folder.
  [[nodiscard]] std::string operator/(std::string_view name) const;
  // Writes `bytes` to `name` and returns its path; aborts when it cannot.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::string path_;
};

// The whole content of the file at `path` (empty when it cannot be read).
[[nodiscard]] std::string ReadWhole(const std::string& path);

}  // namespace ostrevin::fuzz
