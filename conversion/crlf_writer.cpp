#include "conversion/crlf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace ostrevin {

namespace {

constexpr std::size_t kChunkBytes = 1 << 16;

bool WriteAll(int fd, const char* bytes, std::size_t size, WriteProgress& progress) {
  while (size > 0) {
    const ssize_t wrote = write(fd, bytes, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      progress.error_number = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    bytes += wrote;
    size -= static_cast<std::size_t>(wrote);
    progress.written += static_cast<std::uint64_t>(wrote);
  }
  return true;
}

}  // namespace

WriteProgress WriteAllBytes(int fd, std::string_view bytes) {
  WriteProgress progress;
  (void)WriteAll(fd, bytes.data(), bytes.size(), progress);
  return progress;
}

WriteProgress WriteCrLfText(int fd, std::string_view text) {
  WriteProgress progress;
  std::vector<char> chunk;
  chunk.reserve(kChunkBytes + 2);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t room = kChunkBytes - chunk.size();
    const std::size_t span = std::min(room, text.size() - at);
    const void* lf = std::memchr(text.data() + at, '\n', span);
    const std::size_t run =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - (text.data() + at)) : span;
    chunk.insert(chunk.end(), text.data() + at, text.data() + at + run);
    at += run;
    if (lf) {
      chunk.push_back('\r');
      chunk.push_back('\n');
      ++at;
    }
    if (chunk.size() >= kChunkBytes) {
      if (!WriteAll(fd, chunk.data(), chunk.size(), progress)) return progress;
      chunk.clear();
    }
  }
  (void)WriteAll(fd, chunk.data(), chunk.size(), progress);
  return progress;
}

std::uint64_t CrLfSize(std::string_view text) {
  return text.size() + static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

void EarlyWriteback::Wrote(std::size_t bytes) {
  // Large enough that a small file never costs a call, small enough that
  // the disk starts early in a file of a few MiB.
  constexpr std::uint64_t kStep = std::uint64_t{1} << 20;
  written_ += bytes;
  if (written_ - started_ < kStep) return;
  (void)sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                        SYNC_FILE_RANGE_WRITE);
  started_ = written_;
}

int FlushToDisk(int fd) { return fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0; }

}  // namespace ostrevin
