// The check of a run's destination folder, made once before anything is
// converted into it.
#pragma once

#include <string>

namespace ostrevin {

// 0 when `folder` (empty: the current folder) is a folder this process may
// create files in; otherwise why not: the error of looking it up (ENOENT),
// ENOTDIR for something other than a folder, or the error of the access test
// (EACCES, EROFS).
[[nodiscard]] int DestinationFolderError(const std::string& folder);

}  // namespace ostrevin
