#include "conversion/run_conversion.h"

#include <climits>

#include "conversion/conversion_run.h"
#include "conversion/convert_file.h"
#include "conversion/messages.h"
#include "conversion/path_names.h"

namespace ostrevin {

namespace {

int ProgressValue(std::size_t i) { return i > INT_MAX ? INT_MAX : static_cast<int>(i); }

std::string OutputPathOf(const ConversionOptions& options, const std::string& source) {
  std::string output =
      options.OverWrite ? source : JoinPath(options.Destination, FileNameOf(source));
  if (options.DeleteHTMLTag) output += ".txt";
  return output;
}

}  // namespace

RunSummary RunConversion(const std::vector<std::string>& files, const ConversionOptions& options,
                         Host& host, RunConfirmation confirmation) {
  RunSummary summary;
  const std::size_t n = files.size();
  if (n == 0) {
    host.ShowMessage(messages::kEmptyList, messages::kErrorCaption, MessageIcon::kNone);
    summary.outcome = RunOutcome::kEmptyList;
    return summary;
  }
  if (confirmation == RunConfirmation::kAsk &&
      !host.AskYesNo(messages::kConfirmRun, messages::kConfirmCaption, MessageIcon::kQuestion)) {
    summary.outcome = RunOutcome::kDeclined;
    return summary;
  }
  host.SetProgressRange(0, ProgressValue(n));
  host.SetProgressPosition(0);

  ConversionRun run(options, host);
  if (options.UseTable) {
    // A table that cannot be read has been reported and left empty; the run
    // goes on without it.
    (void)LoadConversionTable(options.TablePath, options.RegExp != 0, run.table, host);
  }

  for (std::size_t i = 0; i < n; ++i) {
    const std::string& source = files[i];
    const std::string output = OutputPathOf(options, source);
    host.SetStatus(source + std::string(messages::kStatusSeparator) + output);
    const auto identity = IdentityOfPath(source);
    if (identity && run.replaced_in_place.contains(*identity)) {
      ++summary.already_replaced;
    } else {
      switch (ConvertOneFile(run, source, output)) {
        case FileOutcome::kWritten:
          ++summary.written;
          break;
        case FileOutcome::kUnchanged:
          ++summary.unchanged;
          break;
        case FileOutcome::kFailed:
          ++summary.failed;
          host.SetStatus(messages::kStatusError);
          break;
      }
    }
    host.SetProgressPosition(ProgressValue(i));
  }
  host.Beep();
  host.SetStatus(messages::kStatusFinished);
  host.SetProgressPosition(ProgressValue(n));
  return summary;
}

}  // namespace ostrevin
