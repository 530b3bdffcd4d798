#include "conversion/file_metadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace ostrevin {

namespace {

// Calls `get` with a growing buffer until the value fits; the value may grow
// between the call that sizes it and the call that reads it.
template <typename Get>
bool ReadSized(std::string& out, Get get) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) return false;
    out.resize(static_cast<std::size_t>(size));
    const ssize_t got = get(out.data(), out.size());
    if (got >= 0) {
      out.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

// The names in a NUL-separated attribute list; none where the file system
// keeps no attributes.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t end = list.find('\0', at);
    const std::size_t stop = end == std::string::npos ? list.size() : end;
    if (stop > at) names.emplace_back(list, at, stop - at);
    at = stop + 1;
  }
  return names;
}

bool NoAttributes(int error_number) { return error_number == ENOTSUP; }

// Gives `fd` exactly the extended attributes of the file at `path` (ACLs are
// attributes too); false when one cannot be read, set or removed. Without
// privileges the system does not even list trusted.* attributes, so those
// are lost to a rename that nothing here can foresee; security.* ones are
// listed and, when they cannot be set, send the write in place.
bool CopyAttributes(const std::string& path, int fd) {
  std::string list;
  if (!ReadSized(list, [&](char* b, std::size_t n) { return llistxattr(path.c_str(), b, n); })) {
    if (!NoAttributes(errno)) return false;
    list.clear();
  }
  const std::vector<std::string> names = SplitNames(list);
  for (const std::string& name : names) {
    std::string value;
    if (!ReadSized(value, [&](char* b, std::size_t n) {
          return lgetxattr(path.c_str(), name.c_str(), b, n);
        })) {
      if (errno == ENODATA) continue;  // removed since it was listed
      return false;
    }
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  // The new file may have inherited attributes the old one lacks (a folder's
  // default ACL, for one).
  std::string own;
  if (!ReadSized(own, [&](char* b, std::size_t n) { return flistxattr(fd, b, n); })) {
    return NoAttributes(errno);
  }
  for (const std::string& name : SplitNames(own)) {
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    if (fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA) return false;
  }
  return true;
}

}  // namespace

bool CopyMetadata(const std::string& path, const struct stat& existing, int fd) {
  // Owner first: changing it clears set-user-ID, set-group-ID and file
  // capabilities; the mode last, since an ACL sets the group bits.
  if (fchown(fd, existing.st_uid, existing.st_gid) != 0) return false;
  if (!CopyAttributes(path, fd)) return false;
  if (fchmod(fd, existing.st_mode & 07777) != 0) return false;
  struct stat now {};
  return fstat(fd, &now) == 0 && now.st_uid == existing.st_uid && now.st_gid == existing.st_gid &&
         (now.st_mode & 07777) == (existing.st_mode & 07777);
}

}  // namespace ostrevin
