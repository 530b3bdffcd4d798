// A file's identity on this system (its device and inode numbers), and the
// stamp that tells whether its content may have changed since it was read.
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

// What a file looked like when it was read: a write to it changes its size or
// its change time (the modification time can be set back, the change time
// cannot), so a file whose stamp still matches holds what was read.
struct FileStamp {
  FileIdentity identity;
  off_t size = 0;
  struct timespec modified {};
  struct timespec changed {};

  [[nodiscard]] static FileStamp Of(const struct stat& info) {
    return {FileIdentity::Of(info), info.st_size, info.st_mtim, info.st_ctim};
  }
  [[nodiscard]] bool operator==(const FileStamp& other) const {
    const auto same = [](const timespec& a, const timespec& b) {
      return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return identity == other.identity && size == other.size && same(modified, other.modified) &&
           same(changed, other.changed);
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
