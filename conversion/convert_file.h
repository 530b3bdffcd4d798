// The file pipeline: one source read whole, passed through the stages in
// their fixed order, and written to its output (a file or a stream) with CR
// LF line ends.
#pragma once

#include <string>

#include "conversion/conversion_run.h"
#include "conversion/run_plan.h"
#include "conversion/source_file.h"

namespace ostrevin {

enum class FileOutcome {
  kWritten,     // the output was written
  kUnchanged,   // NoOutput, and no stage changed the text: nothing written
  kFailed,      // declined, not opened, NUL byte, not convertible, output changed or
                // not created
  kOutputLost,  // converted, but the output stream could not take the text
};

// The stages of one source as read (ReadSourceFile, ReadSourceStream), in
// memory; `source` is its path, or the name shown for a stream. Refuses a
// source that held a NUL byte, then runs
//  6  character-code conversion (KanjiConvert): KanjiCode 1 EUC, 2 JIS,
//     3 UTF-8, else automatic detection; a text that cannot be converted
//     exactly is refused with its first problem (with the run's
//     Unconvertible::kSubstitute it gets 〓 instead, and the count is shown);
//  7  line ends; 8 HTML stripping (DeleteHTMLTag); 9 the table (UseTable),
//     refusing a result with a NUL.
// Each refusal shows its message through the run's host and gives false; the
// text is then of no use. The stages set the run's change flag, and a faulty
// pattern command sets its message flag (the text is still converted).
[[nodiscard]] bool ConvertSourceText(ConversionRun& run, const std::string& source,
                                     SourceFile& file);

// Converts `source` into `output` under the run's options and table:
//  3  asks before overwriting an existing output (with OverWrite only when
//     that output is not the source itself); an answer given for the rest
//     of the run is kept in the run, which asks no more;
//  4  reads the source whole (regular files only);
//  5-9 ConvertSourceText;
//  10 NoOutput with no change: nothing written;
//  11 with create_output_folders, creates the output's missing folders (a
//     failure is reported as an output that cannot be opened); writes the
//     output (WriteOutputFile), CR LF line ends, and adds it to run.written;
//     an output that changed since the source was read (the source itself)
//     or since the write began (any other file) is left alone and the file
//     fails.
// Each refusal shows its message through the run's host and gives kFailed.
// Read and write failures after a file was opened throw FileError; memory
// that cannot be obtained throws std::bad_alloc. The busy cursor is on for the
// whole call, whichever way it ends.
[[nodiscard]] FileOutcome ConvertOneFile(ConversionRun& run, const std::string& source,
                                         const std::string& output);

// Converts one entry of a run. An entry whose output is a file is
// ConvertOneFile(source, output). Otherwise the text is read from the entry's
// source descriptor or file, passed through ConvertSourceText and written to its
// output descriptor with CR LF line ends, with neither question nor NoOutput;
// a refusal writes nothing there. A write that fails gives kOutputLost and
// keeps the first such error number in the run's `stream_error`.
[[nodiscard]] FileOutcome ConvertEntry(ConversionRun& run, const RunEntry& entry,
                                       const std::string& output);

// ConvertOneFile as the batch run sees it: true when the output was written
// or skipped under NoOutput, false when the file failed.
[[nodiscard]] bool ConvertFile(ConversionRun& run, const std::string& source,
                               const std::string& output);

}  // namespace ostrevin
