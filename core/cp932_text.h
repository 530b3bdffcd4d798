// Display of code page 932 (Shift-JIS) bytes as UTF-8, for messages and
// reports only (the conversion itself never leaves the original bytes), and
// the way back for text a person typed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrevin {

// How a character that code page 932 cannot map is shown.
enum class Cp932Unmappable {
  kCode,         // its code in upper-case hex in angle brackets: <8540>, <A0>
  kReplacement,  // U+FFFD REPLACEMENT CHARACTER
};

// Decodes `bytes` as code page 932 (glibc iconv "CP932") into UTF-8. A
// character is a lead byte (0x81-0x9F, 0xE0-0xFC) with the byte after it, or
// one byte. Malformed input never fails the call:
//  - an unmapped double-byte character (0x8540) is shown as a whole;
//  - a lead byte followed by a byte that is not a trail byte, or a lead byte
//    at the end, is shown alone (<81>) and the next byte is decoded afresh;
//  - an unmapped single byte (0x80, 0xA0, 0xFD-0xFF) is shown alone.
// Control bytes, NUL included, pass through unchanged.
[[nodiscard]] std::string Cp932ToUtf8(std::string_view bytes,
                                      Cp932Unmappable unmappable = Cp932Unmappable::kCode);

// Whether `bytes` is well-formed UTF-8 (glibc iconv's decoder: no overlong
// forms, no surrogates, nothing above U+10FFFF, no sequence cut short).
[[nodiscard]] bool IsValidUtf8(std::string_view bytes);

// Encodes UTF-8 text as code page 932 (glibc iconv "CP932"), for text a
// person typed in a UTF-8 terminal. Nothing when the text is not valid UTF-8
// or holds a character that code page 932 cannot hold.
[[nodiscard]] std::optional<std::string> Utf8ToCp932(std::string_view utf8);

}  // namespace ostrevin
