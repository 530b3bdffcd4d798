// The batch run: every entry of the file list converted once, in list order,
// with the confirmation, the progress bar, the status line and the beep.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "conversion/conversion_problem.h"
#include "conversion/run_plan.h"
#include "core/host.h"
#include "settings/conversion_options.h"

namespace ostrevin {

enum class RunConfirmation {
  kAsk,   // the window asks "変換を実行します。よろしいですか？" first
  kSkip,  // the command line: the command itself is the confirmation
};

// How a large output that is written while it is made (a one-pass conversion
// or a simple table) reaches its file.
enum class OutputWriting {
  kInline,      // the window: the whole run stays on the calling thread
  kOverlapped,  // the command line: a second thread writes one block while
                // the next is made; it never calls the host, and it has
                // finished before the file's outcome is known
};

enum class RunOutcome {
  kEmptyList,      // the list was empty: the error was shown, nothing else done
  kDeclined,       // the confirmation was not answered Yes: nothing done
  kNoDestination,  // the destination folder cannot take files: that was shown, nothing done
  kFinished,       // every entry was handled
  kStopped,        // a stop was requested: the entries from there on were not converted
};

// Asks a run to stop from outside it (a signal handler may set it): 0 while
// the run may go on, else the number of the signal that asked it to stop (a
// negative number when a person asked).
using StopRequest = std::atomic<int>;
static_assert(StopRequest::is_always_lock_free, "set from a signal handler");

struct RunSummary {
  RunOutcome outcome = RunOutcome::kFinished;
  std::size_t written = 0;      // outputs written
  std::size_t unchanged = 0;    // skipped under NoOutput
  std::size_t repeated = 0;     // sources an earlier entry had: done already
  std::size_t failed = 0;       // refused entries and those whose ConvertFile failed
  std::size_t output_lost = 0;  // converted, but their output stream failed
  int stream_error = 0;         // the error number of the first such failure
  // Entries converted after a message was shown for them (a faulty pattern
  // command), failed entries not included.
  std::size_t warned = 0;
  bool table_unreadable = false;  // the table could not be read (a message was shown)

  // Whether a message was shown for the table or for some entry.
  [[nodiscard]] bool AnyMessage() const { return failed > 0 || warned > 0 || table_unreadable; }
};

// Runs the batch conversion over `entries` (in the order given: the caller's
// list order) with `options`. After the confirmation, when some output goes
// into Destination, a destination that is not a folder this process can
// create files in (DestinationFolderError) is shown once with the message of
// an output that cannot be opened, and nothing is converted. Outputs are
// formed as OutputPathOf forms them, missing
// folders below Destination created for outputs that keep a tree. The table
// is loaded once when UseTable is on. Before the first file the run is
// planned (PlanRun): an entry whose source an earlier entry has is done
// already (its status line only); the entries whose output an earlier entry
// of another source has are reported together through
// Host::ShowMessageForEach and are not converted, and neither is an entry
// whose output turns out to be a file this run wrote. Each entry is converted
// by ConvertEntry. Read and write failures after a file was opened end the run
// by throwing FileError (std::bad_alloc for lack of memory); the end-of-run
// beep and status do not happen then. A failed write to an output stream does
// not end the run. `unconvertible` is what the character-code conversion does
// with characters and bytes it cannot convert (the command line's --substitute).
// `writing` says whether a second thread may write large outputs.
// A `stop` request is seen between two files, never during one (a file
// written in place is never left half-written by it): the run then ends with
// kStopped, without the beep and the end-of-run status. An output that
// replaces a file is flushed to the disk before it takes the file's place; new
// outputs are flushed together (one syncfs per file system) when the run
// ends or stops, before the beep; a failure of that flush throws FileError.
[[nodiscard]] RunSummary RunConversion(const std::vector<RunEntry>& entries,
                                       const ConversionOptions& options, Host& host,
                                       RunConfirmation confirmation = RunConfirmation::kAsk,
                                       Unconvertible unconvertible = Unconvertible::kRefuse,
                                       const StopRequest* stop = nullptr,
                                       OutputWriting writing = OutputWriting::kInline);

// The same with every output directly in Destination (FlatEntries).
[[nodiscard]] RunSummary RunConversion(const std::vector<std::string>& files,
                                       const ConversionOptions& options, Host& host,
                                       RunConfirmation confirmation = RunConfirmation::kAsk,
                                       Unconvertible unconvertible = Unconvertible::kRefuse,
                                       const StopRequest* stop = nullptr,
                                       OutputWriting writing = OutputWriting::kInline);

}  // namespace ostrevin
