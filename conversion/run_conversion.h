// The batch run: every entry of the file list converted once, in list order,
// with the confirmation, the progress bar, the status line and the beep.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/host.h"
#include "settings/conversion_options.h"

namespace ostrevin {

enum class RunConfirmation {
  kAsk,   // the window asks "変換を実行します。よろしいですか？" first
  kSkip,  // the command line: the command itself is the confirmation
};

enum class RunOutcome {
  kEmptyList,  // the list was empty: the error was shown, nothing else done
  kDeclined,   // the confirmation was not answered Yes: nothing done
  kFinished,   // every entry was handled
};

struct RunSummary {
  RunOutcome outcome = RunOutcome::kFinished;
  std::size_t written = 0;           // outputs written
  std::size_t unchanged = 0;         // skipped under NoOutput
  std::size_t already_replaced = 0;  // sources this run had replaced in place before
  std::size_t failed = 0;            // entries whose ConvertFile returned false
};

// Runs the batch conversion over `files` (in the order given: the caller's
// list order) with `options`. The output of each entry is the source itself
// with OverWrite, else JoinPath(Destination, FileNameOf(source)), an empty
// Destination meaning the current folder; ".txt" is appended with
// DeleteHTMLTag. The table is loaded once when UseTable is on. An entry whose
// source this run has already replaced in place (same device and inode) gets
// its status line and is not converted again. Read and write failures after a
// file was opened end the run by throwing FileError (std::bad_alloc for lack
// of memory); the end-of-run beep and status do not happen then.
[[nodiscard]] RunSummary RunConversion(const std::vector<std::string>& files,
                                       const ConversionOptions& options, Host& host,
                                       RunConfirmation confirmation = RunConfirmation::kAsk);

}  // namespace ostrevin
