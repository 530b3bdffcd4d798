// Writing a converted text into an existing file, keeping its inode, for the
// cases where no new file may replace it (other hard links, a folder that
// takes no new name, an owner or attribute a new file cannot get).
#pragma once

#include <string>
#include <string_view>

#include "conversion/file_identity.h"

namespace ostrevin {

struct InPlaceResult {
  int error_number = 0;            // the file could not be opened; nothing changed
  bool changed_meanwhile = false;  // the file no longer matched; nothing changed
  FileIdentity written;
};

// Writes `text` (each LF as CR LF) over the file `name` in the folder
// `folder` (a descriptor), if that file still matches `expected`. A failure
// to write throws FileError with `output` as its path once the old bytes are
// back; FileError::NotRestored when even they could not be put back.
[[nodiscard]] InPlaceResult WriteInPlace(const std::string& output, int folder,
                                         const std::string& name, const FileStamp& expected,
                                         std::string_view text);

}  // namespace ostrevin
