// Code page 932 mapping tables, generated at build time from the C library's
// iconv converters (CP932 and EUC-JP) by generate_cp932_tables.cpp.
#pragma once

#include <cstdint>

namespace ostrevin::cp932 {

// The code page 932 code of each code point of the Basic Multilingual Plane,
// as iconv's UTF-8 to CP932 direction gives it: a single byte (0x01-0xFF) or
// lead * 256 + trail; 0 where code page 932 has no code for the character
// (and for U+0000, which is 0x00). Both forms of the characters that the JIS
// and Microsoft mappings disagree on have a code (U+301C and U+FF5E: 0x8160).
// No code point above the plane has a code.
extern const std::uint16_t kFromBmp[0x10000];

// The code point of each JIS X 0212 character as iconv's EUC-JP decodes it,
// at (row - 1) * 94 + (cell - 1) (EUC bytes 0x8F, 0xA0 + row, 0xA0 + cell);
// 0 where the set has no character.
extern const std::uint16_t kJisX0212ToBmp[94 * 94];

// The code page 932 code of `code_point`, 0 when it has none.
[[nodiscard]] inline std::uint16_t FromCodePoint(char32_t code_point) {
  return code_point < 0x10000 ? kFromBmp[code_point] : 0;
}

}  // namespace ostrevin::cp932
