#include "conversion/streamed_conversion.h"

#include <cstdint>
#include <utility>

namespace ostrevin {

namespace {

// A text that needs no code conversion: only its line ends change.
void CopyInto(std::string_view source, CrLfBlockOutput& out) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(source.data());
  const std::size_t size = source.size();
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    out.Reserve();
    out.Word8(p + at);
  }
  for (; at < size; ++at) {
    out.Reserve();
    out.Byte(p[at]);
  }
}

}  // namespace

BlockConversion::BlockConversion(DetectedCode code, Unconvertible mode, std::span<char> block,
                                 CrLfBlockOutput::Sink sink, LineEndsBefore line_ends_before,
                                 LineEndOutput line_ends)
    : code_(code),
      out_(mode, block, std::move(sink), line_ends),
      line_ends_before_(std::move(line_ends_before)) {}

bool BlockConversion::Add(std::string_view piece) {
  if (out_.refused()) return false;
  out_.StartPiece(piece);
  switch (code_) {
    case DetectedCode::kEuc:
      EucInto(piece, out_);
      break;
    case DetectedCode::kJis:
      JisInto(piece, out_, jis_);
      break;
    case DetectedCode::kUtf8:
      Utf8Into(piece, out_, taken_ == 0);
      break;
    case DetectedCode::kNone:
    case DetectedCode::kShiftJis:
      CopyInto(piece, out_);
      break;
  }
  if (out_.refused()) return false;
  taken_ += piece.size();
  return true;
}

StreamedConversion BlockConversion::Finish() {
  StreamedConversion done;
  done.code = out_.Finish();
  done.not_crlf = out_.not_crlf();
  // The problem's line was counted within its piece; no line end is split
  // where the piece starts.
  if (done.code.problem && taken_ != 0) done.code.problem->line += line_ends_before_(taken_);
  return done;
}

StreamedConversion ConvertInBlocks(std::string_view source, DetectedCode code, Unconvertible mode,
                                   std::span<char> block, CrLfBlockOutput::Sink sink) {
  BlockConversion conversion(code, mode, block, std::move(sink),
                             [](std::uint64_t) -> std::size_t { return 0; });
  conversion.Add(source);
  return conversion.Finish();
}

}  // namespace ostrevin
