// Japanese character-code conversion: detection of EUC, Shift-JIS and JIS
// (ISO-2022-JP), and conversion of EUC and JIS texts into Shift-JIS in place.
#pragma once

#include <string>
#include <string_view>

#include "conversion/conversion_problem.h"

namespace ostrevin {

// What DetectKanjiCode found; the values of the first four are those of the
// settings and the original design.
enum class DetectedCode { kNone = 0, kEuc = 1, kShiftJis = 2, kJis = 4, kUtf8 = 8 };

// Finds the code of a text by checking what each reading would make of it,
// in one pass per reading, so that a text valid in exactly one of UTF-8, EUC
// and Shift-JIS is never taken for another:
//  1. No byte of 0x80 or above: kJis when the text holds ESC $, else kNone.
//  2. A text that starts with the UTF-8 BOM (EF BB BF) is kUtf8.
//  3. kUtf8 when at least 90% of its bytes of 0x80 or above belong to valid
//     UTF-8 sequences (strict, as utf8::Decode) and at least one of those is
//     a three- or four-byte sequence. UTF-8 hiragana (E3 81 82) is valid
//     Shift-JIS as well; short legacy texts that read as two-byte UTF-8
//     (Shift-JIS "ﾎｱ" as "α", EUC "単達" as "ñã") are kept out by the
//     three-byte condition.
//  4. EUC against Shift-JIS. A byte that does not fit is one that starts no
//     character of the code: EUC characters are A1-FE A1-FE, 8E A1-DF, 8E
//     21-5F and 8F A1-FE A1-FE; Shift-JIS characters are a lead 81-9F/E0-FC
//     with a trail 40-7E/80-FC, and A1-DF alone; bytes below 0x80 fit both.
//     The reading with fewer bytes that do not fit wins (valid in only one:
//     that one); when equal, the one with fewer half-width katakana (8E xx in
//     EUC, A1-DF in Shift-JIS), since they are rare in real text in either
//     code and most EUC text reads as a soup of them in Shift-JIS.
//  5. When that too is equal, the first decisive byte, looking at each byte b
//     and the one after it, n (0x00 after the last): ESC $ is kJis; b below
//     0x80 decides nothing; 81-9F is kShiftJis; A1-DF is kEuc; otherwise n of
//     A0 or below is kShiftJis, b of FD or FE is kEuc, else n is looked at as
//     a byte of its own.
// A NUL byte inside the text is an ordinary byte here: callers that follow
// the NUL-terminated text model cut the text at its first NUL.
[[nodiscard]] DetectedCode DetectKanjiCode(std::string_view text);

// Converts a Japanese EUC text to Shift-JIS in place; the text never grows.
// Bytes outside the EUC ranges go through the same arithmetic, so every input
// has a defined output:
//  - bytes below 0x80 are copied;
//  - 0x8E b2 (half-width katakana) becomes b2, plus 0x80 when b2 is 0x21-0x5F;
//  - any other byte of 0x80 or above forms a pair with the next byte, whatever
//    that byte is (JIS X 0212's 0x8F included: its third byte stands alone);
//  - a byte of 0x80 or above as the very last byte is copied.
// The arithmetic can produce a 0x00 byte from bytes that are not EUC; callers
// that must not write one check the result.
void EucToShiftJis(std::string& text);

// Converts a 7-bit JIS (ISO-2022-JP with the JIS X 0201 katakana set) text to
// Shift-JIS in place; the text never grows. Escape sequences ESC $ B, ESC $ @,
// ESC ( B, ESC ( J, ESC ( I and the shift codes SO, SI switch the mode and are
// dropped; they are recognised in every mode, in Kanji mode only where a pair
// would begin. Malformed input:
//  - other escape sequences are data: copied in Roman mode, paired in Kanji mode;
//  - in Kana mode every byte gets 0x80 added, control bytes included;
//  - in Kanji mode every two bytes form a pair, CR and LF included; a lone last
//    byte is copied.
void JisToShiftJis(std::string& text);

// What AutoToShiftJis found and did.
struct AutoConversion {
  DetectedCode code = DetectedCode::kNone;
  // The converter's result; a refused text is left as it was.
  CodeConversion result;

  // True when the text was converted (EUC, JIS or UTF-8 found, not refused).
  [[nodiscard]] bool converted() const {
    return (code == DetectedCode::kEuc || code == DetectedCode::kJis ||
            code == DetectedCode::kUtf8) &&
           !result.problem;
  }
};

// Detects the code and converts EUC, JIS or UTF-8 to Shift-JIS; a text
// detected as Shift-JIS or undecided is left unchanged.
[[nodiscard]] AutoConversion AutoToShiftJis(std::string& text,
                                            Unconvertible mode = Unconvertible::kRefuse);

}  // namespace ostrevin
