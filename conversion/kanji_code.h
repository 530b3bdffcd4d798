// Japanese character-code conversion: detection of EUC, Shift-JIS and JIS
// (ISO-2022-JP), and conversion of EUC and JIS texts into Shift-JIS in place.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin {

// What DetectKanjiCode found; the values are those of the settings and the
// original design.
enum class DetectedCode { kNone = 0, kEuc = 1, kShiftJis = 2, kJis = 4 };

// Looks at the text one byte at a time and returns the code of the first
// decisive byte (kNone when no byte decides). The byte after the last one is
// taken as 0x00. A NUL byte inside the text is an ordinary byte here: callers
// that follow the NUL-terminated text model cut the text at its first NUL.
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

// Detects the code and converts EUC or JIS to Shift-JIS. Returns true when it
// converted; a text detected as Shift-JIS or undecided is left unchanged.
[[nodiscard]] bool AutoToShiftJis(std::string& text);

}  // namespace ostrevin
