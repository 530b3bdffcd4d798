#include "conversion/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "conversion/path_names.h"
#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr std::size_t kChunkBytes = 1 << 16;
constexpr std::size_t kSuffixBytes = 6;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links from `path` to the path of the file they name (which
// need not exist yet). Returns 0 or an error number.
int ResolveLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(info.st_mode)) return 0;
    std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
    const ssize_t length = readlink(target.c_str(), buffer.data(), buffer.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) >= buffer.size()) return ENAMETOOLONG;
    std::string link(buffer.data(), static_cast<std::size_t>(length));
    target = link.starts_with('/') ? link : JoinPath(FolderOf(target), link);
  }
  return ELOOP;
}

// Writes all of `bytes`; throws FileError for `path` on failure.
void WriteAll(int fd, const char* bytes, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t wrote = write(fd, bytes, size);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, errno);
    }
    if (wrote == 0) throw FileError(path, ENOSPC);
    bytes += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
}

// Writes `text` with each LF as CR LF, through a fixed-size buffer.
void WriteCrLfText(int fd, std::string_view text, const std::string& path) {
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
      WriteAll(fd, chunk.data(), chunk.size(), path);
      chunk.clear();
    }
  }
  WriteAll(fd, chunk.data(), chunk.size(), path);
}

void FlushAndClose(UniqueFd& fd, const std::string& path) {
  if (fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) throw FileError(path, errno);
  if (fd.Close() != 0) throw FileError(path, errno);
}

// The temporary file's name: "." + the output's name, shortened so that the
// whole name fits the system's name limit, + "." + a random suffix.
std::string TemporaryName(const std::string& name, std::mt19937_64& random) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::size_t keep = std::min<std::size_t>(name.size(), NAME_MAX - 2 - kSuffixBytes);
  std::string temp;
  temp.reserve(keep + 2 + kSuffixBytes);
  temp.push_back('.');
  temp.append(name, 0, keep);
  temp.push_back('.');
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (std::size_t i = 0; i < kSuffixBytes; ++i) temp.push_back(kLetters[pick(random)]);
  return temp;
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!kept_) unlink(path_.c_str());
  }
  [[nodiscard]] const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

OutputResult WriteInPlace(const std::string& output, const std::string& target,
                          std::string_view text, OutputResult result) {
  UniqueFd fd(open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) {
    result.error_number = errno;
    return result;
  }
  struct stat info {};
  if (fstat(fd.get(), &info) == 0) result.written = FileIdentity::Of(info);
  WriteCrLfText(fd.get(), text, output);
  FlushAndClose(fd, output);
  return result;
}

}  // namespace

int WriteCrLfStream(int fd, std::string_view text) {
  try {
    WriteCrLfText(fd, text, std::string());
  } catch (const FileError& error) {
    return error.error_number();
  }
  return 0;
}

OutputResult WriteOutputFile(const std::string& output, std::string_view text) {
  OutputResult result;
  std::string target;
  if (const int error = ResolveLinks(output, target); error != 0) {
    result.error_number = error;
    return result;
  }
  const std::string folder = FolderOf(target);

  struct stat existing {};
  const bool exists = lstat(target.c_str(), &existing) == 0;
  if (exists) {
    if (!S_ISREG(existing.st_mode)) {
      result.error_number = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
      return result;
    }
    result.previous = FileIdentity::Of(existing);
    // A file the process may not write stays as it is, as a plain open for
    // writing would have refused it; renaming over it would not ask.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
      result.error_number = errno;
      return result;
    }
    const bool other_links = existing.st_nlink > 1;
    const bool folder_locked = faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0;
    if (other_links || folder_locked) return WriteInPlace(output, target, text, result);
  }

  std::mt19937_64 random(std::random_device{}());
  const std::string name = FileNameOf(target);
  UniqueFd fd;
  std::string temp_path;
  for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
    temp_path = JoinPath(folder, TemporaryName(name, random));
    fd =
        UniqueFd(open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd.valid() && errno != EEXIST) break;
  }
  if (!fd.valid()) {
    result.error_number = errno;
    return result;
  }
  TemporaryFile temp(temp_path);
  if (exists) {
    // Owner first: changing it may clear the set-user-ID and set-group-ID bits.
    if (fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) {
      (void)fchown(fd.get(), static_cast<uid_t>(-1), existing.st_gid);
    }
    (void)fchmod(fd.get(), existing.st_mode & 07777);
  }
  struct stat info {};
  if (fstat(fd.get(), &info) == 0) result.written = FileIdentity::Of(info);
  WriteCrLfText(fd.get(), text, output);
  FlushAndClose(fd, output);
  if (rename(temp.path().c_str(), target.c_str()) != 0) {
    result.error_number = errno;
    return result;
  }
  temp.Keep();
  return result;
}

}  // namespace ostrevin
