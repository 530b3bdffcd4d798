// Carrying what a file holds besides its bytes (owner, group, permission
// bits, extended attributes with the ACLs among them) over to the new file
// that replaces it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace ostrevin {

// Gives the new file `fd` the owner, group, bits and attributes of the file
// at `path` (described by `existing`). False when this process cannot
// reproduce all of them (another user's file, a group it is not in, a
// set-group-ID bit the system clears, an attribute it may not set): the new
// file must not replace that one then.
[[nodiscard]] bool CopyMetadata(const std::string& path, const struct stat& existing, int fd);

}  // namespace ostrevin
