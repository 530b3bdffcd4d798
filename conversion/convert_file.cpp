#include "conversion/convert_file.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "conversion/html_stage.h"
#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"
#include "conversion/messages.h"
#include "conversion/output_file.h"
#include "conversion/source_file.h"
#include "conversion/utf8_to_shift_jis.h"

namespace ostrevin {

namespace {

// Turns the busy cursor on for its lifetime.
class BusyCursor {
 public:
  explicit BusyCursor(Host& host) : host_(host) { host_.SetBusy(true); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  ~BusyCursor() { host_.SetBusy(false); }

 private:
  Host& host_;
};

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// Whether to ask before writing `output`. Without OverWrite every existing
// output is asked about. With it the output is normally the source itself,
// but the ".txt" that HTML stripping appends names a file beside the source
// that may be anybody's: that one is asked about too (by device and inode, so
// that another spelling of the source's own path is no reason to ask).
bool AsksBeforeWriting(const ConversionOptions& options, const std::string& source,
                       const std::string& output) {
  if (!PathExists(output)) return false;
  if (!options.OverWrite) return true;
  const auto existing = IdentityOfPath(output);
  const auto own = IdentityOfPath(source);
  return !existing || !own || *existing != *own;
}

bool HoldsNul(const std::string& text) {
  return std::memchr(text.data(), '\0', text.size()) != nullptr;
}

void ShowError(Host& host, std::string_view text) {
  host.ShowMessage(text, messages::kErrorCaption, MessageIcon::kExclamation);
}

// Step 6: the character-code conversion. Returns the problem that keeps the
// text from being converted, if any; a refused text is left as it was.
std::optional<ConversionProblem> ConvertKanjiCode(ConversionRun& run, const std::string& source,
                                                  std::string& text) {
  CodeConversion result;
  switch (run.options.KanjiCode) {
    case 1:
      result = EucToShiftJis(text, run.unconvertible);
      run.changed = true;
      break;
    case 2:
      result = JisToShiftJis(text, run.unconvertible);
      run.changed = true;
      break;
    case 3:
      result = Utf8ToShiftJis(text, run.unconvertible);
      run.changed = true;
      break;
    default: {
      AutoConversion automatic = AutoToShiftJis(text, run.unconvertible);
      if (automatic.converted()) run.changed = true;
      result = std::move(automatic.result);
      break;
    }
  }
  if (result.problem) return result.problem;
  if (result.substituted != 0) {
    const std::string count = std::to_string(result.substituted);
    run.host.ShowMessage(
        messages::Format(messages::Format(messages::kSubstitutedCount, "%1", source), "%2", count),
        "", MessageIcon::kNone);
  }
  return std::nullopt;
}

void StartEntry(ConversionRun& run) {
  run.changed = false;
  run.warned = false;
}

}  // namespace

bool ConvertSourceText(ConversionRun& run, const std::string& source, SourceFile& file) {
  const ConversionOptions& options = run.options;
  Host& host = run.host;
  std::string& text = file.text;
  // The text carries its own length, but a NUL byte would be lost by any
  // reader of the text model; such a source is left alone.
  if (file.holds_nul) {
    ShowError(host, messages::kSourceHasNul);
    return false;
  }
  if (options.KanjiConvert) {
    // The converters make no NUL byte of a text that holds none.
    if (const auto problem = ConvertKanjiCode(run, source, text)) {
      ShowError(host, ConversionProblemMessage(*problem));
      return false;
    }
  }
  if (NormalizeLineEnds(text) != 0) run.changed = true;
  if (options.DeleteHTMLTag && StripHtml(text, host)) run.changed = true;
  if (options.UseTable) {
    // A faulty pattern command has been reported by the table stage; the
    // text is still converted.
    if (!ApplyConversionTable(text, run.table, options.RegExp, host, run.changed)) {
      run.warned = true;
    }
    if (HoldsNul(text)) {
      ShowError(host, messages::kNulProduced);
      return false;
    }
  }
  return true;
}

FileOutcome ConvertOneFile(ConversionRun& run, const std::string& source,
                           const std::string& output) {
  const ConversionOptions& options = run.options;
  Host& host = run.host;
  BusyCursor busy(host);
  StartEntry(run);

  if (AsksBeforeWriting(options, source, output)) {
    const std::string question = messages::Format(messages::kOverwriteQuestion, "%s", output);
    if (!host.AskYesNo(question, messages::kConfirmCaption, MessageIcon::kQuestion)) {
      return FileOutcome::kFailed;
    }
  }

  SourceFile file = ReadSourceFile(source);
  if (file.error_number != 0) {
    ShowError(host, messages::FormatError(messages::kSourceOpenError, file.error_number));
    return FileOutcome::kFailed;
  }
  // The output replaces the source only while the source is as it was read.
  OutputRequest request{.expected = std::nullopt,
                        .before_replace = run.before_replace,
                        .deferred_flush = run.deferred_flush};
  if (output == source || IdentityOfPath(output) == file.stamp.identity) {
    request.expected = file.stamp;
  }
  if (!ConvertSourceText(run, source, file)) return FileOutcome::kFailed;
  if (options.NoOutput && !run.changed) return FileOutcome::kUnchanged;

  if (run.create_output_folders) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(output).parent_path(), error);
    if (error) {
      ShowError(host, messages::FormatError(messages::kOutputOpenError, error.value()));
      return FileOutcome::kFailed;
    }
  }
  const OutputResult written = WriteOutputFile(output, file.text, request);
  if (written.changed_meanwhile) {
    ShowError(host, messages::kSourceChanged);
    return FileOutcome::kFailed;
  }
  if (written.error_number != 0) {
    ShowError(host, messages::FormatError(messages::kOutputOpenError, written.error_number));
    return FileOutcome::kFailed;
  }
  run.written.insert(written.written);
  return FileOutcome::kWritten;
}

FileOutcome ConvertEntry(ConversionRun& run, const RunEntry& entry, const std::string& output) {
  if (!entry.ToStream()) return ConvertOneFile(run, entry.source, output);
  BusyCursor busy(run.host);
  StartEntry(run);
  SourceFile file = entry.source_fd >= 0 ? ReadSourceStream(entry.source_fd, entry.source)
                                         : ReadSourceFile(entry.source);
  if (file.error_number != 0) {
    ShowError(run.host, messages::FormatError(messages::kSourceOpenError, file.error_number));
    return FileOutcome::kFailed;
  }
  if (!ConvertSourceText(run, entry.source, file)) return FileOutcome::kFailed;
  const int error = WriteCrLfStream(entry.output_fd, file.text);
  if (error == 0) return FileOutcome::kWritten;
  if (run.stream_error == 0) run.stream_error = error;
  return FileOutcome::kOutputLost;
}

bool ConvertFile(ConversionRun& run, const std::string& source, const std::string& output) {
  return ConvertOneFile(run, source, output) != FileOutcome::kFailed;
}

}  // namespace ostrevin
