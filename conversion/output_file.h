// Writing a converted text to its output path: each LF as CR LF, and an
// existing file replaced atomically; or to an open stream.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "conversion/file_identity.h"

namespace ostrevin {

struct OutputResult {
  // 0 when the text was written; otherwise the error number of the step that
  // could not create the output (the temporary file, the rename, or opening
  // the existing file for an in-place write). Nothing was changed then.
  int error_number = 0;
  // The file that was at the output path before (symbolic links followed).
  std::optional<FileIdentity> previous;
  // The file that now holds the text.
  FileIdentity written;
};

// Writes `text` to `output`, each LF byte as CR LF and every other byte as it
// is. The whole text goes to a temporary file in the output's folder (named
// "." + the output's name, shortened to fit, + "." + a random suffix), is
// flushed to the disk, and is then renamed over the output:
//  - a symbolic link at the output path is followed to the file it names;
//  - a new file gets 0666 less the umask; a replaced file keeps its permission
//    bits, and its owner and group where the process may set them;
//  - a file with other hard links, or one whose folder is not writable while
//    the file is, is truncated and written in place instead, so that the links
//    and the folder stay as they are;
//  - an existing folder or other non-regular file at the output is refused
//    (EISDIR, EINVAL) and left alone, and so is a file the process may not
//    write (EACCES, EROFS), as a plain open for writing would refuse it.
// A temporary file that cannot be created, or a rename that fails, is
// reported in `error_number`. A failure to write, flush or close throws
// FileError with `output` as its path. On every failure the temporary file is
// removed and the existing output is untouched (except after a failed
// in-place write, which cannot be undone).
[[nodiscard]] OutputResult WriteOutputFile(const std::string& output, std::string_view text);

// Writes `text` to the open descriptor `fd` (standard output, a pipe), each LF
// byte as CR LF, as WriteOutputFile writes a file. Returns 0, or the error
// number of the write that failed (EPIPE for a closed pipe, ENOSPC); what was
// written before it stays written.
[[nodiscard]] int WriteCrLfStream(int fd, std::string_view text);

}  // namespace ostrevin
