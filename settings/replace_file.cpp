// ReplaceFileAtomically: temporary file, fsync, rename.
#include "settings/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>

namespace ostrevin {
namespace {

// Follows symbolic links from `path` to the file they finally name (which need
// not exist). Gives up after 40 links, as the kernel does.
int ResolveLinks(std::string& path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    target.resize(static_cast<std::size_t>(length));
    if (target.empty() || target.front() != '/') {
      const std::size_t slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = std::move(target);
  }
  return ELOOP;
}

std::string RandomSuffix() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kLetters[device() % (sizeof kLetters - 1)];
  return suffix;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return 0;
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  std::string target = path;
  if (const int error = ResolveLinks(target); error != 0) return error;

  const std::size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return EISDIR;
  // "." + name + "." + 8 letters must fit NAME_MAX.
  if (name.size() > NAME_MAX - 10) name.resize(NAME_MAX - 10);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + "." + name + "." + RandomSuffix();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;

  int error = 0;
  if (exists) {
    // Ownership can only be kept by a privileged process; a failure is fine.
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    }
    if (::fchmod(fd, existing.st_mode & 07777) != 0) error = errno;
  }
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace ostrevin
