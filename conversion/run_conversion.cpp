#include "conversion/run_conversion.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "conversion/conversion_run.h"
#include "conversion/convert_file.h"
#include "conversion/destination_folder.h"
#include "conversion/messages.h"
#include "conversion/utf8_table.h"

namespace ostrevin {

namespace {

int ProgressValue(std::size_t i) { return i > INT_MAX ? INT_MAX : static_cast<int>(i); }

// The destination is looked at once, before the first file: a folder that
// is missing or cannot take files would otherwise fail every entry with a
// message of its own. 0, or the error that was shown.
int CheckDestination(const std::vector<RunEntry>& entries, const ConversionOptions& options,
                     Host& host) {
  if (options.OverWrite) return 0;
  if (std::none_of(entries.begin(), entries.end(),
                   [](const RunEntry& e) { return !e.ToStream(); })) {
    return 0;
  }
  const int error = DestinationFolderError(options.Destination);
  if (error != 0) {
    host.ShowMessage(messages::FormatError(messages::kOutputOpenError, error),
                     messages::kErrorCaption, MessageIcon::kExclamation);
  }
  return error;
}

// Shows every refused entry's source in one go, before the first file.
void ReportSameOutputs(const std::vector<RunEntry>& entries, const std::vector<PlannedEntry>& plan,
                       Host& host) {
  std::vector<std::string> refused;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (plan[i].kind == PlannedKind::kSameOutput) refused.push_back(entries[i].source);
  }
  if (refused.empty()) return;
  host.ShowMessageForEach(messages::kSameOutput, refused, messages::kErrorCaption,
                          MessageIcon::kExclamation);
}

// A file this run wrote may still turn up under another name that the plan
// could not foresee (a symbolic link to a file that did not exist yet).
bool WrittenByThisRun(const ConversionRun& run, const std::string& output) {
  const auto identity = IdentityOfPath(output);
  return identity && run.written.contains(*identity);
}

// What becomes of one entry after its status line; nothing for a repeat,
// which is done already.
std::optional<FileOutcome> HandleEntry(ConversionRun& run, const RunEntry& entry,
                                       const PlannedEntry& planned) {
  switch (planned.kind) {
    case PlannedKind::kRepeat:
      return std::nullopt;
    case PlannedKind::kSameOutput:
      return FileOutcome::kFailed;  // reported before the first file
    case PlannedKind::kConvert:
      break;
  }
  if (!entry.ToStream() && WrittenByThisRun(run, planned.output)) {
    run.host.ShowMessage(messages::Format(messages::kSameOutput, "%1", entry.source),
                         messages::kErrorCaption, MessageIcon::kExclamation);
    return FileOutcome::kFailed;
  }
  run.create_output_folders =
      !run.options.OverWrite && entry.below_destination.find('/') != std::string::npos;
  return ConvertEntry(run, entry, planned.output);
}

}  // namespace

RunSummary RunConversion(const std::vector<RunEntry>& entries, const ConversionOptions& options,
                         Host& host, RunConfirmation confirmation, Unconvertible unconvertible,
                         const StopRequest* stop, OutputWriting writing) {
  RunSummary summary;
  const std::size_t n = entries.size();
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
  if (CheckDestination(entries, options, host) != 0) {
    summary.outcome = RunOutcome::kNoDestination;
    return summary;
  }
  host.SetProgressRange(0, ProgressValue(n));
  host.SetProgressPosition(0);

  ConversionRun run(options, host);
  run.unconvertible = unconvertible;
  run.overlapped_writing = writing == OutputWriting::kOverlapped;
  DeferredFlush new_outputs;
  run.deferred_flush = &new_outputs;
  if (options.UseTable) {
    // A table that cannot be read has been reported and left empty; the run
    // goes on without it. An empty path fails without a message: no table
    // was named, so none is missing.
    const bool loaded = LoadConversionTable(options.TablePath, options.RegExp != 0, run.table, host,
                                            Utf8TableToShiftJis);
    summary.table_unreadable = !loaded && !options.TablePath.empty();
  }

  const std::vector<PlannedEntry> plan = PlanRun(entries, options);
  ReportSameOutputs(entries, plan, host);

  for (std::size_t i = 0; i < n; ++i) {
    if (stop && stop->load() != 0) {
      new_outputs.FlushAll();
      summary.outcome = RunOutcome::kStopped;
      return summary;
    }
    host.SetStatus(entries[i].source + std::string(messages::kStatusSeparator) + plan[i].output);
    const std::optional<FileOutcome> outcome = HandleEntry(run, entries[i], plan[i]);
    if (!outcome) {
      ++summary.repeated;
    } else {
      if (*outcome != FileOutcome::kFailed && run.warned) ++summary.warned;
      switch (*outcome) {
        case FileOutcome::kWritten:
          ++summary.written;
          break;
        case FileOutcome::kUnchanged:
          ++summary.unchanged;
          break;
        case FileOutcome::kOutputLost:
          ++summary.output_lost;
          break;
        case FileOutcome::kFailed:
          ++summary.failed;
          host.SetStatus(messages::kStatusError);
          break;
      }
    }
    host.SetProgressPosition(ProgressValue(i));
  }
  summary.stream_error = run.stream_error;
  // The new outputs reach the disk before the run says it is done.
  new_outputs.FlushAll();
  host.Beep();
  host.SetStatus(messages::kStatusFinished);
  host.SetProgressPosition(ProgressValue(n));
  return summary;
}

RunSummary RunConversion(const std::vector<std::string>& files, const ConversionOptions& options,
                         Host& host, RunConfirmation confirmation, Unconvertible unconvertible,
                         const StopRequest* stop, OutputWriting writing) {
  return RunConversion(FlatEntries(files), options, host, confirmation, unconvertible, stop,
                       writing);
}

}  // namespace ostrevin
