#include "conversion/convert_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "conversion/crlf_writer.h"
#include "conversion/html_stage.h"
#include "conversion/kanji_code.h"
#include "conversion/kanji_code_detector.h"
#include "conversion/line_ends.h"
#include "conversion/messages.h"
#include "conversion/output_file.h"
#include "conversion/overlapped_writer.h"
#include "conversion/source_blocks.h"
#include "conversion/source_file.h"
#include "conversion/streamed_conversion.h"
#include "conversion/utf8_to_shift_jis.h"
#include "tables/replacement_chain.h"

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

// Whether to ask before writing `output`, which exists. Without OverWrite
// every existing output is asked about. With it the output is normally the
// source itself, but the ".txt" that HTML stripping appends names a file
// beside the source that may be anybody's: that one is asked about too (by
// device and inode, so that another spelling of the source's own path is no
// reason to ask).
bool AsksBeforeWriting(const ConversionOptions& options, const std::string& source,
                       const std::string& output) {
  if (!options.OverWrite) return true;
  const auto existing = IdentityOfPath(output);
  const auto own = IdentityOfPath(source);
  return !existing || !own || *existing != *own;
}

bool HoldsNul(const std::string& text) {
  return std::memchr(text.data(), '\0', text.size()) != nullptr;
}

// The overwrite question, unless it was answered for the rest of the run.
bool MayOverwrite(ConversionRun& run, const std::string& output) {
  if (run.overwrite_for_all) return *run.overwrite_for_all;
  const std::string question = messages::Format(messages::kOverwriteQuestion, "%s", output);
  switch (run.host.AskYesNoForAll(question, messages::kConfirmCaption, MessageIcon::kQuestion)) {
    case Answer::kYes:
      return true;
    case Answer::kNo:
      return false;
    case Answer::kYesToAll:
      run.overwrite_for_all = true;
      return true;
    case Answer::kNoToAll:
      run.overwrite_for_all = false;
      return false;
  }
  return false;
}

void ShowError(Host& host, std::string_view text) {
  host.ShowMessage(text, messages::kErrorCaption, MessageIcon::kExclamation);
}

// The code step 6 converts the text from when the options name it: kEuc,
// kJis or kUtf8, or kNone when the text is left as it is. None when it is to
// be detected.
std::optional<DetectedCode> ChosenCode(const ConversionOptions& options) {
  if (!options.KanjiConvert) return DetectedCode::kNone;
  switch (options.KanjiCode) {
    case 1:
      return DetectedCode::kEuc;
    case 2:
      return DetectedCode::kJis;
    case 3:
      return DetectedCode::kUtf8;
    default:
      return std::nullopt;
  }
}

// The code step 6 converts the text from: kEuc, kJis or kUtf8, or none
// (kNone, kShiftJis) when the text is left as it is.
DetectedCode SourceCode(const ConversionOptions& options, std::string_view text) {
  const auto chosen = ChosenCode(options);
  return chosen ? *chosen : DetectKanjiCode(text);
}

// A conversion counts as a change even where no byte moves.
bool Converts(DetectedCode code) {
  return code == DetectedCode::kEuc || code == DetectedCode::kJis || code == DetectedCode::kUtf8;
}

void ReportSubstituted(ConversionRun& run, const std::string& source, std::size_t substituted) {
  if (substituted == 0) return;
  const std::string count = std::to_string(substituted);
  run.host.ShowMessage(
      messages::Format(messages::Format(messages::kSubstitutedCount, "%1", source), "%2", count),
      "", MessageIcon::kNone);
}

// Step 6: the character-code conversion. Returns the problem that keeps the
// text from being converted, if any; a refused text is left as it was.
std::optional<ConversionProblem> ConvertKanjiCode(ConversionRun& run, const std::string& source,
                                                  std::string& text) {
  const DetectedCode code = SourceCode(run.options, text);
  CodeConversion result;
  switch (code) {
    case DetectedCode::kEuc:
      result = EucToShiftJis(text, run.unconvertible);
      break;
    case DetectedCode::kJis:
      result = JisToShiftJis(text, run.unconvertible);
      break;
    case DetectedCode::kUtf8:
      result = Utf8ToShiftJis(text, run.unconvertible);
      break;
    case DetectedCode::kNone:
    case DetectedCode::kShiftJis:
      return std::nullopt;
  }
  if (result.problem) return result.problem;
  run.changed = true;
  ReportSubstituted(run, source, result.substituted);
  return std::nullopt;
}

// What a written (or not written) output means for the file.
FileOutcome OutcomeOfWrite(ConversionRun& run, const OutputResult& written) {
  if (written.changed_meanwhile) {
    ShowError(run.host, messages::kSourceChanged);
    return FileOutcome::kFailed;
  }
  if (written.error_number != 0) {
    ShowError(run.host, messages::FormatError(messages::kOutputOpenError, written.error_number));
    return FileOutcome::kFailed;
  }
  run.written.insert(written.written);
  return FileOutcome::kWritten;
}

// Whether the output can be written while its text is being made: no folder
// would have to be made before the text is known to convert. The source
// itself is written so too: where it would have to be written back in place,
// which needs the whole original, the streamed write declines before it
// starts, and the text is made whole.
bool WritesWhileMaking(const ConversionRun& run, const std::string& output) {
  if (!run.create_output_folders) return true;
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(output).parent_path(), error);
}

// Whether steps 6-11 can run as one pass that writes the new file while it
// reads and converts the source: only the code, the line ends and a simple
// table change the text.
bool WritesWhileConverting(const ConversionRun& run, const std::string& output) {
  if (run.options.DeleteHTMLTag || (run.options.UseTable && run.options.RegExp != 0)) return false;
  return WritesWhileMaking(run, output);
}

// Makes the text into the output's new file and sets the change flag, or
// says that it refused the text and showed why (keep false). None when it
// found that the text must be made whole after all: nothing was shown.
using TextMaker = std::function<std::optional<MadeText>(int fd)>;

// Writes the output's new file with `make`. A refused text, or under
// NoOutput an unchanged one, leaves nothing behind. No outcome when the
// output needs the text whole (or cannot be written), or when `make` asks
// for it: the caller makes it whole.
std::optional<FileOutcome> MakeWhileWriting(ConversionRun& run, const std::string& output,
                                            const OutputRequest& request, const TextMaker& make) {
  FileOutcome outcome = FileOutcome::kWritten;
  bool whole = false;
  const TextWriter write = [&](int fd) {
    std::optional<MadeText> made = make(fd);
    if (!made) {
      whole = true;
      return MadeText{.keep = false};
    }
    if (!made->keep) {
      outcome = FileOutcome::kFailed;
    } else if (run.options.NoOutput && !run.changed) {
      outcome = FileOutcome::kUnchanged;
      made->keep = false;
    }
    return *made;
  };
  const OutputResult written = WriteOutputFileStreamed(output, write, request);
  if (!written.text_made || whole) return std::nullopt;
  if (written.discarded) return outcome;
  return OutcomeOfWrite(run, written);
}

// The code to convert from, detected over a first pass of `blocks` (a file
// of `size` bytes when it was opened) when the options do not name it. The
// blocks are left at their start, or, after a NUL byte, at their end. The
// code holds only while the file keeps its size: the caller discards what
// it made from a file that changed while it was read.
DetectedCode SourceCode(const ConversionOptions& options, SourceBlocks& blocks,
                        std::uint64_t size) {
  if (const auto chosen = ChosenCode(options)) return *chosen;
  KanjiCodeDetector detector(size);
  while (true) {
    for (auto piece = blocks.Next(); !piece.empty(); piece = blocks.Next()) {
      if (!detector.Add(piece)) blocks.Restart();
    }
    // The whole-text path takes a source with a NUL byte: it is not read
    // again here.
    if (blocks.met_nul()) return DetectedCode::kNone;
    blocks.Restart();
    if (const auto code = detector.Result()) return *code;
  }
}

// A simple table's chain over a text with LF line ends, its result written
// to `out` with CR LF.
class TableIntoFile {
 public:
  TableIntoFile(const ConversionTable& table, OverlappedWriter& out)
      : chain_(table), crlf_([&out](std::string_view bytes) {
          out.Write(bytes);
          return true;
        }) {}

  void Feed(std::string_view piece) { chain_.Feed(piece, to_crlf_); }
  // Writes the rest; whether any entry replaced anything.
  bool Finish() {
    const bool replaced = chain_.Finish(to_crlf_);
    crlf_.Finish();
    return replaced;
  }

 private:
  ReplacementChain chain_;
  CrLfWriter crlf_;
  const ReplacementChain::Sink to_crlf_ = [this](std::string_view piece) { crlf_.Add(piece); };
};

// Hands `conversion` every piece of `blocks`. After a refusal the rest is
// read only for a NUL byte, which is told instead.
void ConvertEveryPiece(SourceBlocks& blocks, BlockConversion& conversion) {
  for (auto piece = blocks.Next(); !piece.empty(); piece = blocks.Next()) {
    if (conversion.Add(piece)) continue;
    while (!blocks.Next().empty()) {
    }
    return;
  }
}

// Steps 6-11 in one pass from the source into the output's new file, a block
// at a time, as ConvertSourceText and WriteOutputFile would do them one
// after the other: the same messages in the same order (a simple table shows
// nothing and makes no NUL byte). A source that holds a NUL byte, or that
// was read twice and changed meanwhile, is made whole after all: the
// whole-text path says why, or converts what it then reads.
std::optional<FileOutcome> ConvertWhileWriting(ConversionRun& run, const std::string& source,
                                               const std::string& output, const SourceFile& file,
                                               const OutputRequest& request) {
  constexpr std::size_t kBlockBytes = std::size_t{1} << 16;
  return MakeWhileWriting(run, output, request, [&](int fd) -> std::optional<MadeText> {
    SourceBlocks blocks(file.fd.get(), source, static_cast<std::uint64_t>(file.stamp.size));
    const DetectedCode code =
        SourceCode(run.options, blocks, static_cast<std::uint64_t>(file.stamp.size));
    if (blocks.met_nul()) return std::nullopt;
    const auto block = std::make_unique_for_overwrite<char[]>(kBlockBytes);
    // A write that fails ends the writing, not the conversion: a text that
    // cannot be converted is reported as such. Beyond one writer buffer, the
    // writing of one buffer overlaps the making of the next.
    OverlappedWriter writer(
        fd, run.overlapped_writing &&
                static_cast<std::size_t>(file.stamp.size) > OverlappedWriter::kBufferBytes);
    const CrLfBlockOutput::Sink to_file = [&](std::string_view bytes) { writer.Write(bytes); };
    // A simple table runs on the text with LF line ends, as on the whole
    // text; CR LF is made after it.
    const bool replaces = run.options.UseTable;
    TableIntoFile table(run.table, writer);
    const CrLfBlockOutput::Sink to_chain = [&](std::string_view bytes) { table.Feed(bytes); };
    BlockConversion conversion(
        code, run.unconvertible, {block.get(), kBlockBytes}, replaces ? to_chain : to_file,
        [&](std::uint64_t offset) { return blocks.LineEndsBefore(offset); },
        replaces ? LineEndOutput::kLf : LineEndOutput::kCrLf);
    ConvertEveryPiece(blocks, conversion);
    const StreamedConversion done = conversion.Finish();
    const bool replaced = replaces && table.Finish();
    MadeText made;
    made.error_number = writer.Finish();
    // Two readings of a file that changed between them may disagree.
    if (blocks.met_nul() || (blocks.read_again() && !StillAsOpened(file))) return std::nullopt;
    if (done.code.problem) {
      ShowError(run.host, ConversionProblemMessage(*done.code.problem));
      made.keep = false;
      return made;
    }
    if (Converts(code)) run.changed = true;
    ReportSubstituted(run, source, done.code.substituted);
    if (done.not_crlf != 0 || replaced) run.changed = true;
    return made;
  });
}

// Step 9 for a simple table, run over the text while the output's new file
// is written, as ApplyConversionTable and WriteOutputFile would do it one
// after the other (a simple table shows nothing and makes no NUL byte).
std::optional<FileOutcome> ReplaceWhileWriting(ConversionRun& run, const std::string& output,
                                               const SourceFile& file,
                                               const OutputRequest& request) {
  return MakeWhileWriting(run, output, request, [&](int fd) -> std::optional<MadeText> {
    MadeText made;
    // A write that fails ends the writing; the chain runs on, cheaply. As
    // in ConvertWhileWriting, the writing of one buffer overlaps the making
    // of the next.
    OverlappedWriter out(
        fd, run.overlapped_writing && file.text.size() > OverlappedWriter::kBufferBytes);
    TableIntoFile table(run.table, out);
    table.Feed(file.text);
    const bool replaced = table.Finish();
    made.error_number = out.Finish();
    if (replaced) run.changed = true;
    return made;
  });
}

void StartEntry(ConversionRun& run) {
  run.changed = false;
  run.warned = false;
}

// Steps 5-8 of ConvertSourceText: everything before the table.
bool ConvertBeforeTable(ConversionRun& run, const std::string& source, SourceFile& file) {
  const ConversionOptions& options = run.options;
  Host& host = run.host;
  std::string& text = file.text;
  // The text carries its own length, but a NUL byte would be lost by any
  // reader of the text model; such a source is left alone.
  if (file.holds_nul) {
    ShowError(host, messages::kSourceHasNul);
    return false;
  }
  // The converters make no NUL byte of a text that holds none.
  if (const auto problem = ConvertKanjiCode(run, source, text)) {
    ShowError(host, ConversionProblemMessage(*problem));
    return false;
  }
  if (NormalizeLineEnds(text) != 0) run.changed = true;
  if (options.DeleteHTMLTag && StripHtml(text, host)) run.changed = true;
  return true;
}

// Step 9 of ConvertSourceText.
bool ApplyTable(ConversionRun& run, std::string& text) {
  const ConversionOptions& options = run.options;
  if (!options.UseTable) return true;
  // A faulty pattern command has been reported by the table stage; the text
  // is still converted.
  if (!ApplyConversionTable(text, run.table, options.RegExp, run.host, run.changed)) {
    run.warned = true;
  }
  // A simple table's fields hold no NUL byte, and neither does the text.
  if (options.RegExp != 0 && HoldsNul(text)) {
    ShowError(run.host, messages::kNulProduced);
    return false;
  }
  return true;
}

// Steps 6-11 for standard output, when only the code and the line ends
// change: the text is converted in blocks twice, first to learn whether it
// converts at all (a refused text must leave nothing on the stream), then
// into the stream, so that no converted copy of the whole text is held.
// Returns the stream's error number, none when refused.
std::optional<int> ConvertTwice(ConversionRun& run, const RunEntry& entry,
                                const std::string& text) {
  constexpr std::size_t kBlockBytes = std::size_t{1} << 16;
  const auto block = std::make_unique_for_overwrite<char[]>(kBlockBytes);
  const DetectedCode code = SourceCode(run.options, text);
  const StreamedConversion tried = ConvertInBlocks(
      text, code, run.unconvertible, {block.get(), kBlockBytes}, [](std::string_view) {});
  if (tried.code.problem) {
    ShowError(run.host, ConversionProblemMessage(*tried.code.problem));
    return std::nullopt;
  }
  ReportSubstituted(run, entry.source, tried.code.substituted);
  OverlappedWriter writer(entry.output_fd, false);
  (void)ConvertInBlocks(text, code, run.unconvertible, {block.get(), kBlockBytes},
                        [&](std::string_view bytes) { writer.Write(bytes); });
  return writer.Finish();
}

}  // namespace

bool ConvertSourceText(ConversionRun& run, const std::string& source, SourceFile& file) {
  return ConvertBeforeTable(run, source, file) && ApplyTable(run, file.text);
}

FileOutcome ConvertOneFile(ConversionRun& run, const std::string& source,
                           const std::string& output) {
  const ConversionOptions& options = run.options;
  Host& host = run.host;
  BusyCursor busy(host);
  StartEntry(run);

  // Nothing at the output path (a new output, the common case) spares the
  // look-ups that compare it with the source.
  const bool output_present = PathExists(output);
  if (output_present && AsksBeforeWriting(options, source, output) && !MayOverwrite(run, output)) {
    return FileOutcome::kFailed;
  }

  SourceFile file = OpenSourceFile(source);
  if (file.error_number != 0) {
    ShowError(host, messages::FormatError(messages::kSourceOpenError, file.error_number));
    return FileOutcome::kFailed;
  }
  // The output replaces the source only while the source is as it was read.
  OutputRequest request{.expected = std::nullopt,
                        .before_replace = run.before_replace,
                        .deferred_flush = run.deferred_flush,
                        .temporary_names = &run.temporary_names};
  if (output == source || (output_present && IdentityOfPath(output) == file.stamp.identity)) {
    request.expected = file.stamp;
  }
  if (WritesWhileConverting(run, output)) {
    if (const auto outcome = ConvertWhileWriting(run, source, output, file, request)) {
      return *outcome;
    }
  }
  ReadOpenedSource(file, source);
  if (!ConvertBeforeTable(run, source, file)) return FileOutcome::kFailed;
  if (options.UseTable && options.RegExp == 0 && WritesWhileMaking(run, output)) {
    if (const auto outcome = ReplaceWhileWriting(run, output, file, request)) return *outcome;
  }
  if (!ApplyTable(run, file.text)) return FileOutcome::kFailed;
  if (options.NoOutput && !run.changed) return FileOutcome::kUnchanged;

  if (run.create_output_folders) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(output).parent_path(), error);
    if (error) {
      ShowError(host, messages::FormatError(messages::kOutputOpenError, error.value()));
      return FileOutcome::kFailed;
    }
  }
  return OutcomeOfWrite(run, WriteOutputFile(output, file.text, request));
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
  int error = 0;
  if (run.options.DeleteHTMLTag || run.options.UseTable || file.holds_nul) {
    if (!ConvertSourceText(run, entry.source, file)) return FileOutcome::kFailed;
    error = WriteCrLfStream(entry.output_fd, file.text);
  } else if (const auto converted = ConvertTwice(run, entry, file.text)) {
    error = *converted;
  } else {
    return FileOutcome::kFailed;
  }
  if (error == 0) return FileOutcome::kWritten;
  if (run.stream_error == 0) run.stream_error = error;
  return FileOutcome::kOutputLost;
}

bool ConvertFile(ConversionRun& run, const std::string& source, const std::string& output) {
  return ConvertOneFile(run, source, output) != FileOutcome::kFailed;
}

}  // namespace ostrevin
