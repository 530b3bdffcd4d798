// The scratch-folder fixture with what the pipeline and batch-run tests add: a
// recording host, options, and a file-size limit for provoking write errors.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "core/testing/hex.h"
#include "core/testing/recording_host.h"
#include "core/testing/scratch_folder.h"
#include "settings/conversion_options.h"

namespace ostrevin::testing {

// Every write past `bytes` fails with EFBIG (SIGXFSZ ignored) while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

class PipelineTest : public ScratchTest {
 protected:
  using FileSizeLimit = testing::FileSizeLimit;

  RecordingHost host;
  ConversionOptions options;

  [[nodiscard]] static mode_t ModeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
  }

  [[nodiscard]] static ino_t InodeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_ino;
  }
};

}  // namespace ostrevin::testing
