#include "cli/exit_status.h"

#include <cstdio>

namespace ostrevin::cli {

bool StandardStreamsWritten() {
  const bool out_ok = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  if (!out_ok) {
    std::fwrite(kStandardOutputLost.data(), 1, kStandardOutputLost.size(), stderr);
    std::fputc('\n', stderr);
  }
  const bool err_ok = std::fflush(stderr) == 0 && std::ferror(stderr) == 0;
  return out_ok && err_ok;
}

}  // namespace ostrevin::cli
