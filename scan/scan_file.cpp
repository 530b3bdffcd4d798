// ScanFile, ScanStream and FormatScanBlock: scanning one file or stream and
// its block of the report.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/cp932_text.h"
#include "scan/scanner.h"

namespace ostrevin {
namespace {

constexpr char kEndOfFileMark = '\x1A';

// Opens `path` for reading if it is a regular file; -1 otherwise. O_NONBLOCK
// keeps a FIFO from blocking the open.
int OpenRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

ScanFileResult ScanFile(const std::string& path, const ScanFlags& flags) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return {};
  ScanFileResult result = ScanStream(fd, flags);
  ::close(fd);
  return result;
}

ScanFileResult ScanStream(int fd, const ScanFlags& flags) {
  ScanFileResult result;
  ShiftJisScanner scanner(flags);
  char buffer[64 * 1024];
  bool failed = false;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (got == 0) break;
    const auto* mark = static_cast<const char*>(std::memchr(buffer, kEndOfFileMark, got));
    const std::size_t length =
        mark != nullptr ? static_cast<std::size_t>(mark - buffer) : static_cast<std::size_t>(got);
    scanner.Feed(std::string_view(buffer, length), result.found);
    if (mark != nullptr) break;
  }
  if (failed) {
    // A file that fails part way is reported as unreadable: a partial list
    // would look complete.
    result.found.clear();
    return result;
  }
  result.read = true;
  return result;
}

std::string FormatScanBlock(const std::string& path, const ScanFileResult& result,
                            ScanRendering rendering) {
  if (!result.read) return "[" + path + "]\r\nファイルをオープンできません\r\n\r\n";
  if (result.found.empty()) return {};
  const std::string found =
      rendering == ScanRendering::kUtf8 ? Cp932ToUtf8(result.found) : result.found;
  return "[" + path + "]\r\n" + found + "\r\n\r\n";
}

}  // namespace ostrevin
