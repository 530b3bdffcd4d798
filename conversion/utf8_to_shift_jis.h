// Conversion of a UTF-8 text into Shift-JIS as code page 932 defines it.
#pragma once

#include <string>

#include "conversion/conversion_problem.h"

namespace ostrevin {

// Converts the UTF-8 `text` into code page 932 (NEC special characters,
// NEC-selected and IBM extensions included), with the mapping of the C
// library's iconv "CP932". A BOM at the start is dropped. Both the JIS and the
// Microsoft forms of the characters the two mappings disagree on get the same
// code (〜 U+301C and ～ U+FF5E: 0x8160; ‖/∥ 0x8161; −/－ 0x817C; ¢/￠ 0x8191;
// £/￡ 0x8192; ¬/￢ 0x81CA; —/― 0x815C).
//
// What cannot be converted:
//  - a character that code page 932 has no code for (€, 𠮷, emoji, ⓐ):
//    kUnmappable, with its code point;
//  - invalid UTF-8 (a stray byte, a sequence that does not fit or is cut off
//    at the end, an overlong form, a surrogate, anything above U+10FFFF):
//    kInvalidBytes, one sequence per resynchronisation as utf8::Decode steps.
// kRefuse: the first of these is returned and `text` is left as it was.
// kSubstitute: each becomes one 〓 (0x81AC) and is counted.
[[nodiscard]] CodeConversion Utf8ToShiftJis(std::string& text,
                                            Unconvertible mode = Unconvertible::kRefuse);

}  // namespace ostrevin
