// The new outputs of a run, flushed to the disk together at its end: one
// syncfs per file system instead of one fsync per file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "conversion/unique_fd.h"

namespace ostrevin {

// Why a file that replaces another is flushed at once and a new one is not:
// the flush before the rename keeps a crash from leaving the old name with an
// empty or partial file in place of the old content. A new output replaces
// nothing, so a crash before its flush loses only the new file; the run
// flushes it before it reports success, so that a script that deletes its
// sources after a successful run still finds its outputs after a crash.
class DeferredFlush {
 public:
  // Takes charge of flushing the complete new file open as `fd` on `device`
  // (written for `path`). Keeps a descriptor of the first such file on each
  // file system, since syncfs needs one. False when no descriptor can be
  // kept: the caller flushes the file itself.
  [[nodiscard]] bool Add(int fd, dev_t device, const std::string& path);

  // Flushes each file system that received a file since the last call, once.
  // A failure throws FileError with the path of the first file written there
  // (the later files of that file system are not named by it).
  void FlushAll();

 private:
  struct FileSystem {
    dev_t device;
    UniqueFd fd;
    std::string path;
  };
  std::vector<FileSystem> file_systems_;
};

}  // namespace ostrevin
