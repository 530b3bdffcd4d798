// The file pipeline: one source read whole, passed through the stages in
// their fixed order, and written to its output with CR LF line ends.
#pragma once

#include <string>

#include "conversion/conversion_run.h"

namespace ostrevin {

enum class FileOutcome {
  kWritten,    // the output was written
  kUnchanged,  // NoOutput, and no stage changed the text: nothing written
  kFailed,     // declined, not opened, NUL byte, not convertible, or output not created
};

// Converts `source` into `output` under the run's options and table:
//  3  asks before overwriting an existing output (with OverWrite only when
//     that output is not the source itself);
//  4  reads the source whole (regular files only);
//     refuses a source that holds a NUL byte;
//  6  character-code conversion (KanjiConvert): KanjiCode 1 EUC, 2 JIS,
//     3 UTF-8, else automatic detection; a text that cannot be converted
//     exactly is refused with its first problem (with the run's
//     Unconvertible::kSubstitute it gets 〓 instead, and the count is shown);
//  7  line ends; 8 HTML stripping (DeleteHTMLTag); 9 the table (UseTable),
//     refusing a result with a NUL;
//  10 NoOutput with no change: nothing written;
//  11 with create_output_folders, creates the output's missing folders (a
//     failure is reported as an output that cannot be opened); writes the
//     output (WriteOutputFile), CR LF line ends, and adds it to run.written.
// Each refusal shows its message through the run's host and gives kFailed.
// Read and write failures after a file was opened throw FileError; memory
// that cannot be obtained throws std::bad_alloc. The busy cursor is on for the
// whole call, whichever way it ends.
[[nodiscard]] FileOutcome ConvertOneFile(ConversionRun& run, const std::string& source,
                                         const std::string& output);

// ConvertOneFile as the batch run sees it: true when the output was written
// or skipped under NoOutput, false when the file failed.
[[nodiscard]] bool ConvertFile(ConversionRun& run, const std::string& source,
                               const std::string& output);

}  // namespace ostrevin
