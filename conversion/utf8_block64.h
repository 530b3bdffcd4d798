// Sixty-four bytes of UTF-8 at a time for the converter into Shift-JIS, where
// the processor has SSE2. Japanese text is runs of three-byte kana and kanji
// between short runs of ASCII (a word, a line end); a converter that asks
// each character for its kind goes wrong at nearly every change of run. The
// block finds the sequences from byte masks instead, converts them one after
// the other, and copies the ASCII between them sixteen bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "conversion/block64.h"
#include "conversion/cp932_tables.h"

namespace ostrevin {

struct Utf8Block {
  unsigned read;     // source bytes converted, whole characters
  unsigned written;  // converted bytes, from the buffer's kUtf8BlockText on
};

// The source bytes a block may read: its 64 and 16 past them.
inline constexpr std::size_t kUtf8BlockReads = 80;
// Where the converted text starts in the block's buffer, and the buffer's
// size: the text is written at the place of its source, moved back by what
// the sequences before saved (see Utf8Block64), and the outputs' Block64
// reads up to 128 bytes from its start.
inline constexpr std::size_t kUtf8BlockText = 64;
inline constexpr std::size_t kUtf8BlockBuffer = kUtf8BlockText + 128;

#if defined(__SSE2__)

// UTF-8 at a character boundary, with at least kUtf8BlockReads bytes from p
// on: converts the characters that start in the 64 bytes at p into `buffer`
// (kUtf8BlockBuffer bytes), where the converted text starts at
// kUtf8BlockText; bytes past `written` are of no meaning. Converted are
// ASCII as it is, and each three-byte sequence with a lead E1-EF that code
// page 932 has a code for. These leads take any two continuation bytes
// 80-BF, so no overlong form is among them; ED A0-BF would be a surrogate,
// but neither surrogates nor the characters of ED 80-9F (Hangul) have a
// code. The block stops before anything else (another kind of sequence, a
// broken one, a character without a code), which the converter takes one
// step at a time, and before a sequence that the block's end cuts.
//
// Where it stops: the first byte that breaks the shape (a continuation byte
// out of place, a lead without its two continuation bytes, any other byte of
// 80-FF) ends the block, and so does the lead of a sequence that would reach
// it. Example, "E3 81 82 41 E3 81" at 0-5 with 5 not a continuation byte:
// the first break is 5, the lead at 4 would reach it, so 0-3 are read.
// Always inlined: as a call of its own it costs the converter a few percent.
[[gnu::always_inline]] inline Utf8Block Utf8Block64(const std::uint8_t* p, std::uint8_t* buffer) {
  using namespace block64;
  const Bytes64 b(p);
  __m128i continuation[4];
  __m128i lead[4];
  for (int i = 0; i < 4; ++i) {
    const __m128i v = b.v[i];
    // 80-BF are the signed bytes below -64 (C0).
    continuation[i] = _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xC0)));
    const __m128i e0_ef = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xF0))),
                                         _mm_set1_epi8(static_cast<char>(0xE0)));
    lead[i] = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0))), e0_ef);
  }
  const std::uint64_t non_ascii = Bits(b.v[0], b.v[1], b.v[2], b.v[3]);
  const std::uint64_t continuations =
      Bits(continuation[0], continuation[1], continuation[2], continuation[3]);
  const std::uint64_t leads = Bits(lead[0], lead[1], lead[2], lead[3]);
  const std::uint64_t breaks =
      (non_ascii & ~continuations & ~leads) | (continuations ^ (leads << 1 | leads << 2));
  const unsigned cut = breaks == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(breaks));
  const std::uint64_t before_cut = cut == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << cut) - 1;
  // A lead is whole when its second continuation byte lies before the cut.
  std::uint64_t whole_leads = leads & (before_cut >> 2);
  const std::uint64_t cut_lead = leads & before_cut & ~whole_leads;
  const unsigned read = cut_lead == 0 ? cut : static_cast<unsigned>(__builtin_ctzll(cut_lead));

  // The code point of the three-byte sequence that would start at each byte,
  // (b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F), put together for
  // all bytes at once (only those at whole leads are used). In the 16-bit
  // lanes of a load at byte i, b0 | b1 << 8: b0's bits come from shifting
  // left by 12, b1's from shifting right by 2; b2 is the low byte of the
  // lane two bytes on. Lanes start at even bytes from p and at odd bytes
  // from p + 1, and are put back in the order of the bytes.
  alignas(16) std::uint16_t code_points[64];
  for (int i = 0; i < 4; ++i) {
    const auto starting_at = [&](int offset) {
      const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i + offset));
      const __m128i after =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i + offset + 2));
      return _mm_or_si128(
          _mm_slli_epi16(lanes, 12),
          _mm_or_si128(_mm_and_si128(_mm_srli_epi16(lanes, 2), _mm_set1_epi16(0x0FC0)),
                       _mm_and_si128(after, _mm_set1_epi16(0x3F))));
    };
    const __m128i even = starting_at(0);
    const __m128i odd = starting_at(1);
    _mm_store_si128(reinterpret_cast<__m128i*>(code_points + 16 * i),
                    _mm_unpacklo_epi16(even, odd));
    _mm_store_si128(reinterpret_cast<__m128i*>(code_points + 16 * i + 8),
                    _mm_unpackhi_epi16(even, odd));
  }

  // Each sequence is followed by a copy of the 16 source bytes after it,
  // which holds the ASCII up to the next sequence unless that is further;
  // the next sequence's code is written over what was copied too far.
  // Source byte i goes to out[i]: `out` moves back by one byte for each
  // sequence whose code is a pair, by two for a single byte (at most 42
  // for 21 sequences, so it stays inside the buffer).
  std::uint8_t* out = buffer + kUtf8BlockText;
  const auto copy16 = [&](std::size_t from) { std::memcpy(out + from, p + from, 16); };
  copy16(0);
  std::size_t from = 0;  // where the ASCII before the next sequence starts
  // Whether ASCII runs of more than 16 bytes need looking for: the loop
  // goes without the check in most blocks of Japanese text.
  std::uint64_t long_ascii =
      ~non_ascii & (read == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << read) - 1);
  for (int run = 1; run < 16; run *= 2) long_ascii &= long_ascii >> run;  // runs of 16
  long_ascii &= long_ascii >> 1;                                          // of 17
  // Where the block ends: at `read`, or before a character without a code.
  const auto convert = [&](auto long_runs) -> std::size_t {
    for (; whole_leads != 0; whole_leads &= whole_leads - 1) {
      const std::size_t at = static_cast<unsigned>(__builtin_ctzll(whole_leads));
      if constexpr (long_runs) {
        if (at - from > 16) {
          for (std::size_t more = from + 16; more < at; more += 16) copy16(more);
        }
      }
      const std::uint16_t code = cp932::kFromBmp[code_points[at]];
      if (code > 0xFF) [[likely]] {
        const std::uint16_t pair = __builtin_bswap16(code);  // lead byte first
        std::memcpy(out + at, &pair, 2);
        out -= 1;
      } else if (code != 0) {
        out[at] = static_cast<std::uint8_t>(code);  // half-width katakana, ‾
        out -= 2;
      } else {
        return at;
      }
      from = at + 3;
      copy16(from);
    }
    for (std::size_t more = from + 16; more < read; more += 16) copy16(more);
    return read;
  };
  const std::size_t end = long_ascii == 0 ? convert(std::false_type()) : convert(std::true_type());
  return {static_cast<unsigned>(end), static_cast<unsigned>(out + end - (buffer + kUtf8BlockText))};
}

#else

inline Utf8Block Utf8Block64(const std::uint8_t*, std::uint8_t*) { return {0, 0}; }

#endif

}  // namespace ostrevin
