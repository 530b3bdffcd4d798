#include "conversion/destination_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ostrevin {

int DestinationFolderError(const std::string& folder) {
  const std::string path = folder.empty() ? "." : folder;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  // Creating a file takes both write and search permission on the folder.
  if (faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return errno;
  return 0;
}

}  // namespace ostrevin
