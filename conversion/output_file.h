// Writing a converted text to its output path: each LF as CR LF, and an
// existing file replaced whole or not at all; or to an open stream.
#pragma once

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "conversion/deferred_flush.h"
#include "conversion/file_identity.h"

namespace ostrevin {

struct OutputRequest {
  // What the file at the output path must still be when it is replaced: the
  // source as it was read, when the output is the source itself. Without it,
  // the output as it was when the write began (or its absence).
  std::optional<FileStamp> expected;
  // Called once the new text is complete, right before the checks that guard
  // the replacement; tests change files at that moment.
  std::function<void()> before_replace;
  // Where a new output (no file at the output path before) is handed to be
  // flushed later; without it, every output is flushed before its rename.
  DeferredFlush* deferred_flush = nullptr;
  // The generator of temporary names, seeded once for many outputs (seeding
  // costs more than writing a small file); without it, one is seeded here.
  std::mt19937_64* temporary_names = nullptr;
};

struct OutputResult {
  // 0 when the text was written; otherwise the error number of the step that
  // could not create the output (the temporary file, the rename, or opening
  // the existing file for an in-place write). Nothing was changed then.
  int error_number = 0;
  // The file at the output path changed while the text was being converted
  // (or, when the output is the source, since the source was read): nothing
  // was written.
  bool changed_meanwhile = false;
  // The file that was at the output path before (symbolic links followed).
  std::optional<FileIdentity> previous;
  // The file that now holds the text.
  FileIdentity written;
  // The text was written into a new file (WriteOutputFileStreamed: its
  // writer was called).
  bool text_made = false;
  // WriteOutputFileStreamed only: the writer said the text is not wanted
  // after all; nothing was changed.
  bool discarded = false;
};

// What a writer of WriteOutputFileStreamed made of the new file: `keep`
// false when the text turned out not to be wanted; else 0 or the error number
// of the write that failed.
struct MadeText {
  bool keep = true;
  int error_number = 0;
};
using TextWriter = std::function<MadeText(int fd)>;

// Writes `text` to `output`, each LF byte as CR LF and every other byte as it
// is. The whole text goes to a new file in the output's folder, is flushed to
// the disk (a new output: by `request.deferred_flush`, when given, later),
// and then replaces the output by a rename. Where the file system allows,
// the new file has no name until it is complete: it is then linked at the
// output's name when no file was there (no rename needed), else given a name
// of the shape TemporaryName makes, which folder walks skip; elsewhere it is
// created under such a name.
//  - a symbolic link at the output path is followed to the file it names;
//  - a new file gets 0666 less the umask; a replaced file keeps its owner,
//    group, permission bits and extended attributes (ACLs among them);
//  - a file with other hard links, one whose folder is not writable while the
//    file is, and one whose owner, group, bits or attributes this process
//    cannot give a new file, is written in place instead (WriteInPlace says
//    what that can and cannot promise);
//  - an existing folder or other non-regular file at the output is refused
//    (EISDIR, EINVAL) and left alone, and so is a file the process may not
//    write (EACCES, EROFS), as a plain open for writing would refuse it;
//  - a file at the output that no longer matches `request.expected` is left
//    alone (changed_meanwhile).
// A temporary file that cannot be created, or a rename that fails, is
// reported in `error_number`. A failure to write, flush or close throws
// FileError with `output` as its path; the output is then as it was (an
// in-place write puts the old bytes back; if even that fails the FileError's
// kind is kNotRestored).
[[nodiscard]] OutputResult WriteOutputFile(const std::string& output, std::string_view text,
                                           const OutputRequest& request = {});

// WriteOutputFile for a text that is made while it is written: `write` writes
// it into the new file (each line end already CR LF). A text that is not to
// be kept leaves no trace; a write failure throws FileError as above. Where
// the text would be needed whole (to be written in place), and where the
// output cannot be written at all, nothing is changed and `text_made` stays
// false: the caller then makes the text whole and calls WriteOutputFile,
// which does what the situation asks, so that a text that cannot be converted
// is reported before an output that cannot be written.
[[nodiscard]] OutputResult WriteOutputFileStreamed(const std::string& output,
                                                   const TextWriter& write,
                                                   const OutputRequest& request = {});

// Writes `text` to the open descriptor `fd` (standard output, a pipe), each LF
// byte as CR LF, as WriteOutputFile writes a file. Returns 0, or the error
// number of the write that failed (EPIPE for a closed pipe, ENOSPC); what was
// written before it stays written.
[[nodiscard]] int WriteCrLfStream(int fd, std::string_view text);

}  // namespace ostrevin
