#include "conversion/in_place_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "conversion/crlf_writer.h"
#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

// Makes sure `size` bytes fit in the file before any old byte is overwritten.
// FALLOC_FL_KEEP_SIZE reserves the blocks without moving the end of the file,
// so a kill after it leaves no tail of NUL bytes. Where the file system cannot
// reserve, its free space is checked instead (a best effort: another writer
// may take the space meanwhile). Returns 0 or an error number.
int Reserve(int fd, std::uint64_t size, const struct stat& info) {
  if (size == 0) return 0;
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return 0;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  struct statvfs space {};
  if (fstatvfs(fd, &space) != 0) return 0;
  const std::uint64_t held = static_cast<std::uint64_t>(info.st_blocks) * 512;
  const std::uint64_t needed = size > held ? size - held : 0;
  const std::uint64_t free_bytes =
      static_cast<std::uint64_t>(space.f_bavail) * static_cast<std::uint64_t>(space.f_frsize);
  return needed > free_bytes ? ENOSPC : 0;
}

// Writes `bytes` at `offset`; 0 or an error number.
int WriteAt(int fd, const std::string& bytes, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote =
        pwrite(fd, bytes.data() + done, size - done, offset + static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return wrote < 0 ? errno : ENOSPC;
    done += static_cast<std::size_t>(wrote);
  }
  return 0;
}

// Reads the whole file into `bytes`: 0 or an error number.
int ReadWhole(int fd, off_t size, std::string& bytes) {
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got =
        pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return EIO;  // shorter than its size said
    done += static_cast<std::size_t>(got);
  }
  return 0;
}

}  // namespace

// Keeping the inode keeps every hard link and needs no new name in the
// folder. Nothing is truncated before the new bytes are all written, and the
// space is reserved first, so a full disk or a file-size limit stops the
// write before or while old bytes are overwritten; the old bytes (read into
// memory first) are then written back. A kill during the writes can still
// leave the file part new, part old: only a rename replaces a file at once,
// and a rename here would split the hard links, is not allowed in the folder,
// or would lose the owner or an attribute.
InPlaceResult WriteInPlace(const std::string& output, int folder, const std::string& name,
                           const FileStamp& expected, std::string_view text) {
  InPlaceResult result;
  bool readable = true;
  UniqueFd fd(openat(folder, name.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid() && errno == EACCES) {
    // A file this process may write but not read: its old bytes cannot be
    // kept for a failed write.
    readable = false;
    fd = UniqueFd(openat(folder, name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  }
  if (!fd.valid()) {
    result.error_number = errno;
    return result;
  }
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) throw FileError(output, errno);
  if (FileStamp::Of(info) != expected) {
    result.changed_meanwhile = true;
    return result;
  }
  result.written = FileIdentity::Of(info);
  std::string old_bytes;
  if (readable) {
    if (const int error = ReadWhole(fd.get(), info.st_size, old_bytes); error != 0) {
      throw FileError(output, error);
    }
  }

  const std::uint64_t size = CrLfSize(text);
  if (const int error = Reserve(fd.get(), size, info); error != 0) throw FileError(output, error);
  WriteProgress progress = WriteCrLfText(fd.get(), text);
  bool truncated = false;
  if (progress.error_number == 0) {
    if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
      progress.error_number = errno;
    } else {
      truncated = true;
    }
  }
  if (progress.error_number == 0) progress.error_number = FlushToDisk(fd.get());
  if (progress.error_number == 0) {
    if (fd.Close() != 0) throw FileError(output, errno);
    return result;
  }

  // Put back the old bytes that were overwritten (all of them once the file
  // was cut to its new length), then the old length.
  if (!readable) throw FileError::NotRestored(output, progress.error_number, EACCES);
  const std::size_t touched =
      truncated
          ? old_bytes.size()
          : static_cast<std::size_t>(std::min<std::uint64_t>(progress.written, old_bytes.size()));
  int restore_error = WriteAt(fd.get(), old_bytes, touched, 0);
  if (restore_error == 0 && ftruncate(fd.get(), info.st_size) != 0) restore_error = errno;
  if (restore_error == 0) restore_error = FlushToDisk(fd.get());
  if (restore_error != 0) {
    throw FileError::NotRestored(output, progress.error_number, restore_error);
  }
  throw FileError(output, progress.error_number);
}

}  // namespace ostrevin
