// The character-code and line-end stages in one pass for a text that goes
// straight into a file: converted into Shift-JIS with CR LF line ends and
// handed on in fixed-size blocks, so that no copy of the text's size is made.
// The source may come in pieces too, so that no copy of it is held either.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "conversion/conversion_problem.h"
#include "conversion/crlf_block_output.h"
#include "conversion/kanji_code.h"
#include "conversion/shift_jis_converters.h"

namespace ostrevin {

struct StreamedConversion {
  // The code conversion's result: a refusal (nothing handed on after the
  // block it stopped in is of use), or how many 〓 were written.
  CodeConversion code;
  // The line ends that were not CR LF: what NormalizeLineEnds would count on
  // the converted text (of no meaning when refused).
  std::size_t not_crlf = 0;
};

// Converts a source from `code` (kEuc, kJis, kUtf8; any other code is taken
// as it is) as EucToShiftJis, JisToShiftJis or Utf8ToShiftJis would, turns
// every line end into CR LF as NormalizeLineEnds followed by a CR LF writer
// would (or into LF, as NormalizeLineEnds alone), and hands the result to `sink` in blocks of at
// most block.size() bytes (more than 2 * kMaxStepBytes). The bytes handed on are exactly those of
// the whole-text stages, whatever the block size and however the source is cut into pieces.
class BlockConversion {
 public:
  // The line ends in the source before `offset`, where a piece starts, as
  // LineNumberAt counts them: asked only when the text is refused, to tell
  // the line of the problem.
  using LineEndsBefore = std::function<std::size_t(std::uint64_t offset)>;

  BlockConversion(DetectedCode code, Unconvertible mode, std::span<char> block,
                  CrLfBlockOutput::Sink sink, LineEndsBefore line_ends_before,
                  LineEndOutput line_ends = LineEndOutput::kCrLf);

  // Converts the next piece of the source. Every piece but the last must end
  // right after a line end (CR or LF), and a CR LF must not be split. Returns
  // false once the text is refused: what follows changes nothing.
  bool Add(std::string_view piece);

  // Hands on the rest, unless refused.
  [[nodiscard]] StreamedConversion Finish();

 private:
  DetectedCode code_;
  CrLfBlockOutput out_;
  LineEndsBefore line_ends_before_;
  JisMode jis_ = JisMode::kRoman;
  std::uint64_t taken_ = 0;  // source bytes before the piece being converted
};

// A whole source in one piece.
[[nodiscard]] StreamedConversion ConvertInBlocks(std::string_view source, DetectedCode code,
                                                 Unconvertible mode, std::span<char> block,
                                                 CrLfBlockOutput::Sink sink);

}  // namespace ostrevin
