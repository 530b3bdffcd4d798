#include "conversion/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

// The most read at a time, and looked through for a NUL byte.
constexpr std::size_t kChunk = std::size_t{1} << 20;

// errno for a path that names something other than a regular file.
int NotRegularError(const struct stat& info) { return S_ISDIR(info.st_mode) ? EISDIR : EINVAL; }

}  // namespace

SourceFile ReadSourceFile(const std::string& path) {
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
  source.identity = FileIdentity::Of(info);

  // Read to the end of the file, also when it grew since fstat, one chunk at
  // a time so that a NUL byte stops the reading where it is found. Once the
  // first chunk held none, room for the whole file and one chunk more is
  // taken at once, so that the text is not moved again; a file that starts
  // with NUL (a disk image, say) costs one chunk.
  std::string& text = source.text;
  std::size_t filled = 0;
  bool reserved = false;
  while (true) {
    if (filled > 0 && !reserved) {
      try {
        text.reserve(static_cast<std::size_t>(info.st_size) + kChunk + 1);
      } catch (const std::length_error&) {
        throw std::bad_alloc();
      }
      reserved = true;
    }
    text.resize(filled + kChunk);
    const ssize_t got = read(fd.get(), text.data() + filled, kChunk);
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
  }
  text.resize(filled);
  return source;
}

}  // namespace ostrevin
