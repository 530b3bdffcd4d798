// The character-code and line-end stages in one pass for a text that goes
// straight into a file: converted into Shift-JIS with CR LF line ends and
// handed on in fixed-size blocks, so that no copy of the text's size is made.
#pragma once

#include <span>
#include <string_view>

#include "conversion/conversion_problem.h"
#include "conversion/crlf_block_output.h"
#include "conversion/kanji_code.h"

namespace ostrevin {

struct StreamedConversion {
  // The code conversion's result: a refusal (nothing handed on after the
  // block it stopped in is of use), or how many 〓 were written.
  CodeConversion code;
  // The line ends that were not CR LF: what NormalizeLineEnds would count on
  // the converted text (of no meaning when refused).
  std::size_t not_crlf = 0;
};

// Converts `source` from `code` (kEuc, kJis, kUtf8; any other code is taken
// as it is) as EucToShiftJis, JisToShiftJis or Utf8ToShiftJis would, turns
// every line end into CR LF as NormalizeLineEnds followed by a CR LF writer
// would, and hands the result to `sink` in blocks of at most block.size()
// bytes (more than 2 * kMaxStepBytes). The bytes handed on are exactly those
// of the whole-text stages, whatever the block size.
[[nodiscard]] StreamedConversion ConvertInBlocks(std::string_view source, DetectedCode code,
                                                 Unconvertible mode, std::span<char> block,
                                                 CrLfBlockOutput::Sink sink);

}  // namespace ostrevin
