// Shift-JIS (code page 932) byte classes, shared by every part that steps
// through text character by character.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin::sjis {

// Lead bytes: 0x81-0x9F and 0xE0-0xFC. A lead byte and the byte after it form
// one double-byte character with the code lead * 256 + trail.
constexpr bool IsLeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Trail bytes: 0x40-0x7E and 0x80-0xFC. Note 0x40-0x7E overlaps ASCII
// ('\\', '|', '[' ...), so never step backwards byte by byte.
constexpr bool IsTrailByte(std::uint8_t b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Single-byte (half-width) katakana: 0xA1-0xDF.
constexpr bool IsHalfWidthKatakana(std::uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

// Length of the character that starts at text[i] when scanning forwards from a
// character boundary: 2 for a lead byte followed by another byte, else 1.
// A lead byte as the last byte of the text is a character of its own.
constexpr std::size_t CharLength(const char* text, std::size_t i, std::size_t size) {
  return IsLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < size ? 2 : 1;
}

// Whether position `p` of a text is a character boundary, given that `known`
// (no greater than p) is one. Looks back only over the lead bytes right
// before p, never past `known`, so a caller whose `known` follows its
// positions forwards reads each byte a bounded number of times.
//
// A byte that is not a lead byte always ends the character it belongs to: it
// is a character of its own or the trail of a pair. So the position after the
// last such byte before p is a boundary, and from there to p stand only lead
// bytes, which pair up from the left: p is a boundary when their number is
// even. For example in 82 A0 95 95 5C (あ, then 表 with its lead byte 95
// doubled) position 4 follows A0 and two lead bytes: a boundary; position 3
// follows one lead byte: the middle of the character 95 95.
//
// Where sixteen bytes before p lie after `known`, they are classed at once
// and the run of lead bytes is counted from the mask, with no branch that
// depends on the text (a table search calls this at every occurrence); a
// run of sixteen lead bytes goes on byte by byte.
inline bool IsBoundary(const char* text, std::size_t known, std::size_t p) {
#if defined(__SSE2__)
  if (p - known >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p - 16));
    // b is in [lo, lo + span] when b - lo, unsigned, is no greater than span:
    // min(b - lo, span) == b - lo.
    const auto in = [&bytes](int lo, int span) {
      const __m128i d = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(lo)));
      return _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(static_cast<char>(span))), d);
    };
    // Bit i: text[p - 16 + i] is a lead byte (0x81-0x9F, 0xE0-0xFC).
    const auto lead =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(in(0x81, 0x1E), in(0xE0, 0x1C))));
    if (lead != 0xFFFF) {
      // The lead bytes right before p are the ones from bit 15 down.
      const auto run = static_cast<unsigned>(__builtin_clz(~(lead << 16)));
      return run % 2 == 0;
    }
  }
#endif
  std::size_t q = p;
  while (q > known && IsLeadByte(static_cast<std::uint8_t>(text[q - 1]))) --q;
  return (p - q) % 2 == 0;
}

}  // namespace ostrevin::sjis
