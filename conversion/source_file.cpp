#include "conversion/source_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

// The most read at a time, and looked through for a NUL byte.
constexpr std::size_t kChunk = std::size_t{1} << 20;
// What is read at a time past the size fstat gave, to see the end of the file
// or that it grew.
constexpr std::size_t kProbe = std::size_t{64} << 10;

// errno for a path that names something other than a regular file.
int NotRegularError(const struct stat& info) { return S_ISDIR(info.st_mode) ? EISDIR : EINVAL; }

// Asks the system to back the whole 2 MiB pages inside [data, data + size)
// with huge pages where it can: a large text is then faulted in 512 times
// fewer pages (a tenth of the time of a 16 MiB conversion went to faults).
// Only a hint; where it is refused nothing changes.
void AskForHugePages(char* data, std::size_t size) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHuge - 1);
  if (end > begin) {
    (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
}

// Reads `fd` into `source.text` to its end, also past `size` bytes (a file
// that grew since fstat, a stream), one chunk at a time so that a NUL byte
// stops the reading where it is found. Once the first chunk held none, room
// for `size` bytes and one probe more is taken at once, so that the text is
// not moved again; a file that starts with NUL (a disk image, say) costs one
// chunk. For a regular file (`sized`), a read that gives the last of its
// `size` bytes and not the one asked for past them has met the end: a small
// file costs one read.
void ReadUpToNul(int fd, std::size_t size, bool sized, const std::string& path,
                 SourceFile& source) {
  std::string& text = source.text;
  std::size_t filled = 0;
  bool reserved = false;
  while (true) {
    if (filled > 0 && !reserved) {
      try {
        text.reserve(size + kProbe + 1);
      } catch (const std::length_error&) {
        throw std::bad_alloc();
      }
      reserved = true;
      AskForHugePages(text.data(), text.capacity());
    }
    // What is left of the size fstat gave and one byte more, to see the end
    // (or that the file grew): a small file is never padded to a whole chunk.
    const std::size_t want = filled < size ? std::min(kChunk, size - filled + 1) : kProbe;
    text.resize(filled + want);
    const ssize_t got = read(fd, text.data() + filled, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, errno);
    }
    if (got == 0) break;
    const char* chunk = text.data() + filled;
    if (const void* nul = std::memchr(chunk, '\0', static_cast<std::size_t>(got))) {
      filled += static_cast<std::size_t>(static_cast<const char*>(nul) - chunk);
      source.holds_nul = true;
      break;
    }
    filled += static_cast<std::size_t>(got);
    if (sized && filled == size && static_cast<std::size_t>(got) < want) break;
  }
  text.resize(filled);
}

}  // namespace

SourceFile OpenSourceFile(const std::string& path) {
  SourceFile source;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    source.error_number = errno;
    return source;
  }
  if (!S_ISREG(info.st_mode)) {
    source.error_number = NotRegularError(info);
    return source;
  }
  // O_NONBLOCK: should the path be swapped for a FIFO after the test above,
  // the open must not wait for a writer; the second test then refuses it.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    source.error_number = errno;
    return source;
  }
  if (fstat(fd.get(), &info) != 0) {
    source.error_number = errno;
    return source;
  }
  if (!S_ISREG(info.st_mode)) {
    source.error_number = NotRegularError(info);
    return source;
  }
  source.stamp = FileStamp::Of(info);
  source.fd = std::move(fd);
  return source;
}

void ReadOpenedSource(SourceFile& source, const std::string& path) {
  source.text.clear();
  source.holds_nul = false;
  ReadUpToNul(source.fd.get(), static_cast<std::size_t>(source.stamp.size), true, path, source);
}

bool StillAsOpened(const SourceFile& source) {
  struct stat info {};
  return fstat(source.fd.get(), &info) == 0 && FileStamp::Of(info) == source.stamp;
}

SourceFile ReadSourceFile(const std::string& path) {
  SourceFile source = OpenSourceFile(path);
  if (source.error_number == 0) ReadOpenedSource(source, path);
  return source;
}

SourceFile ReadSourceStream(int fd, const std::string& name) {
  SourceFile source;
  // A pipe tells no size: it is read a probe at a time, and its text grows
  // by copying. A file given as the stream (`< file`) says how much is left,
  // so that its text is taken at once.
  struct stat info {};
  const off_t at = lseek(fd, 0, SEEK_CUR);
  if (at >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= at) {
    ReadUpToNul(fd, static_cast<std::size_t>(info.st_size - at), false, name, source);
  } else {
    ReadUpToNul(fd, 0, false, name, source);
  }
  return source;
}

}  // namespace ostrevin
