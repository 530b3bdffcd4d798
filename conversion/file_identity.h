// A file's identity on this system: its device and inode numbers.
#pragma once

#include <sys/stat.h>

#include <compare>
#include <optional>
#include <string>

namespace ostrevin {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;

  auto operator<=>(const FileIdentity&) const = default;

  [[nodiscard]] static FileIdentity Of(const struct stat& info) {
    return {info.st_dev, info.st_ino};
  }
};

// The identity of the file that `path` names, symbolic links followed; none
// when the path cannot be looked up.
[[nodiscard]] inline std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity::Of(info);
}

}  // namespace ostrevin
