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
// in one pass per reading (EUC and Shift-JIS share one), so that a text
// valid in exactly one of UTF-8, EUC and Shift-JIS is never taken for
// another:
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

// Converts a Japanese EUC text to Shift-JIS. Characters convert exactly:
//  - bytes below 0x80 are copied;
//  - a JIS X 0208 pair A1-FE A1-FE by the JIS X 0208 arithmetic (derived in
//    kanji_code.cpp; rows 9-15 and
//    85-94 included: NEC special characters, NEC-selected IBM extensions);
//  - half-width katakana 8E A1-DF becomes its second byte; the 7-bit form
//    8E 21-5F that byte plus 0x80;
//  - a JIS X 0212 character 8F A1-FE A1-FE becomes its code page 932 code
//    where code page 932 has the character (IBM extensions such as 鄧,
//    8F E2 C7: FB B9), by the C library's EUC-JP and CP932 mappings.
// What cannot be converted (kRefuse: the first is returned and the text left
// as it was; kSubstitute: each becomes one 〓, 0x81AC):
//  - a JIS X 0212 character that code page 932 lacks (ō, 8F AB D7):
//    kUnmappable with its code point;
//  - kInvalidBytes, after which the next byte is read afresh: a lead byte
//    A1-FE or 8E without a valid partner (the partner, an LF say, is kept);
//    8F without two bytes A1-FE (8F alone, or 8F with the one that fits); a
//    JIS X 0212 code that is no character (all three bytes); any other byte
//    of 0x80 or above (80-8D, 90-A0, FF).
// No NUL byte comes out of a text that holds none.
[[nodiscard]] CodeConversion EucToShiftJis(std::string& text,
                                           Unconvertible mode = Unconvertible::kRefuse);

// Converts a 7-bit JIS (ISO-2022-JP with the JIS X 0201 katakana set) text to
// Shift-JIS. The mode starts as Roman. ESC $ B and ESC $ @ select Kanji,
// ESC ( B and ESC ( J Roman, ESC ( I Kana; SO selects Kana and SI Roman. They
// are recognised in every mode and dropped.
//  - Bytes below 0x21 other than ESC, SO and SI (CR, LF, TAB, space ...) are
//    copied in every mode; they never start or end a pair and leave the mode
//    as it was (a line end inside Kanji mode keeps Kanji mode, as iconv does).
//  - Roman: 21-7F are copied, and so is 8-bit half-width katakana A1-DF.
//  - Kana: 21-5F become A1-DF.
//  - Kanji: a pair of two bytes 21-7E by the JIS X 0208 arithmetic.
// Invalid sequences (kInvalidBytes; kRefuse and kSubstitute as for EUC),
// after which the next byte is read afresh:
//  - Kanji: a byte 21-7E whose partner is missing or not 21-7E ("0 LF !":
//    the "0"), and any byte of 7F or above;
//  - Kana: any byte of 60 or above;
//  - Roman: a byte of 80 or above other than A1-DF;
//  - an escape sequence not listed above, as ISO 2022 shapes it: ESC, the
//    bytes 20-2F after it, and a final byte 30-7E if one follows
//    ("ESC $ ( D", or "ESC $" cut off at the end).
[[nodiscard]] CodeConversion JisToShiftJis(std::string& text,
                                           Unconvertible mode = Unconvertible::kRefuse);

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
