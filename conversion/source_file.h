// Reading a source whole, as raw bytes: a regular file, or an open stream.
#pragma once

#include <string>

#include "conversion/file_identity.h"
#include "conversion/unique_fd.h"

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
  // The open file (OpenSourceFile): it can be read whole or in blocks.
  UniqueFd fd;
};

// Opens `path` as ReadSourceFile does, without reading it.
[[nodiscard]] SourceFile OpenSourceFile(const std::string& path);

// Reads the file that OpenSourceFile opened as ReadSourceFile does: from
// its offset, which only a read of its own moves (SourceBlocks does not).
void ReadOpenedSource(SourceFile& source, const std::string& path);

// Whether the opened file still has the stamp it had when it was opened.
[[nodiscard]] bool StillAsOpened(const SourceFile& source);

// Opens `path` and reads it to its end or its first NUL byte. Only a regular file is opened for
// reading; anything else is refused before it could block or fail late. A
// read failure after opening throws FileError with the path; memory that
// cannot be obtained for the text throws std::bad_alloc.
[[nodiscard]] SourceFile ReadSourceFile(const std::string& path);

// Reads the open descriptor `fd` (standard input, a pipe) to its end. A read
// failure throws FileError with `name` as its path; `identity` stays empty.
[[nodiscard]] SourceFile ReadSourceStream(int fd, const std::string& name);

}  // namespace ostrevin
