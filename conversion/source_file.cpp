#include "conversion/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

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

  // Read to the end of the file, also when it grew since fstat.
  std::string& text = source.text;
  try {
    text.resize(static_cast<std::size_t>(info.st_size) + 1);
  } catch (const std::length_error&) {
    throw std::bad_alloc();
  }
  std::size_t filled = 0;
  while (true) {
    if (filled == text.size()) {
      try {
        text.resize(text.size() * 2);
      } catch (const std::length_error&) {
        throw std::bad_alloc();
      }
    }
    const ssize_t got = read(fd.get(), text.data() + filled, text.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, errno);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  return source;
}

}  // namespace ostrevin
