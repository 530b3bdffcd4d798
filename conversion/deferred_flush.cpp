#include "conversion/deferred_flush.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/file_error.h"

namespace ostrevin {

bool DeferredFlush::Add(int fd, dev_t device, const std::string& path) {
  const auto known = std::find_if(file_systems_.begin(), file_systems_.end(),
                                  [device](const FileSystem& fs) { return fs.device == device; });
  if (known != file_systems_.end()) return true;
  UniqueFd kept(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!kept.valid()) return false;
  file_systems_.push_back({device, std::move(kept), path});
  return true;
}

void DeferredFlush::FlushAll() {
  std::vector<FileSystem> pending = std::move(file_systems_);
  file_systems_.clear();
  for (const FileSystem& fs : pending) {
    // As for fsync, a file system that cannot be flushed at all (read-only,
    // or with nothing behind it) is no failure.
    if (syncfs(fs.fd.get()) != 0 && errno != EINVAL && errno != EROFS) {
      throw FileError(fs.path, errno);
    }
  }
}

}  // namespace ostrevin
