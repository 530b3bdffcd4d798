// Reading a source whole, as raw bytes: a regular file, or an open stream.
#pragma once

#include <string>

#include "conversion/file_identity.h"

namespace ostrevin {

struct SourceFile {
  // 0 when the file was read; otherwise why it could not be opened: the
  // number open or stat gave, EISDIR for a folder, EINVAL for anything else
  // that is not a regular file (a FIFO, a device, a socket).
  int error_number = 0;
  // Every byte of the file (0x1A bytes included) up to its first NUL byte;
  // reading stops there, so a file that starts with NUL is not read whole.
  std::string text;
  bool holds_nul = false;  // a NUL byte ended the text
  // The file as it was opened, before the read: the output step replaces the
  // source only while it still matches.
  FileStamp stamp;
};

// Opens `path` and reads it to its end or its first NUL byte. Only a regular file is opened for
// reading; anything else is refused before it could block or fail late. A
// read failure after opening throws FileError with the path; memory that
// cannot be obtained for the text throws std::bad_alloc.
[[nodiscard]] SourceFile ReadSourceFile(const std::string& path);

// Reads the open descriptor `fd` (standard input, a pipe) to its end. A read
// failure throws FileError with `name` as its path; `identity` stays empty.
[[nodiscard]] SourceFile ReadSourceStream(int fd, const std::string& name);

}  // namespace ostrevin
