// Sixty-four bytes at a time for the converters into Shift-JIS, where the
// processor has SSE2: the text between line ends and odd bytes is mostly
// ASCII and double-byte pairs, which a block converts without a branch per
// character. Each block function returns 0 for a block it does not take;
// the converter then goes one step at a time, as it does without SSE2.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin {

#if defined(__SSE2__)

inline constexpr bool kHaveBlocks64 = true;

namespace block64 {

// The sixty-four bytes at p in four vectors.
struct Bytes64 {
  explicit Bytes64(const std::uint8_t* p) {
    for (int i = 0; i < 4; ++i)
      v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
  }
  __m128i v[4];
};

// One bit per byte (bit i for byte i) from four vectors of 0x00 / 0xFF, or
// of the top bits.
inline std::uint64_t Bits(__m128i a, __m128i b, __m128i c, __m128i d) {
  const auto m = [](__m128i x) {
    return static_cast<std::uint64_t>(_mm_movemask_epi8(x) & 0xFFFF);
  };
  return m(a) | m(b) << 16 | m(c) << 32 | m(d) << 48;
}

// 0xFF in each byte whose bit is set in the low sixteen bits of `bits`.
inline __m128i Expand16(std::uint64_t bits) {
  constexpr std::uint64_t kEach = 0x0101010101010101ULL;
  const __m128i spread = _mm_set_epi64x(static_cast<long long>(((bits >> 8) & 0xFF) * kEach),
                                        static_cast<long long>((bits & 0xFF) * kEach));
  const __m128i select = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
  return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

// 0xFF in each byte that lies in [low, high] (unsigned).
inline __m128i InRange(__m128i v, std::uint8_t low, std::uint8_t high) {
  const __m128i above = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(low))), v);
  const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(static_cast<char>(high))), v);
  return _mm_and_si128(above, below);
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The bytes that are LF or CR.
inline std::uint64_t LineEnds(const std::uint8_t* p) {
  const Bytes64 b(p);
  __m128i e[4];
  for (int i = 0; i < 4; ++i) {
    e[i] = _mm_or_si128(_mm_cmpeq_epi8(b.v[i], _mm_set1_epi8('\n')),
                        _mm_cmpeq_epi8(b.v[i], _mm_set1_epi8('\r')));
  }
  return Bits(e[0], e[1], e[2], e[3]);
}

// Which bytes of `pairs` (maximal runs of bytes that each can be either
// half of a pair, the first run starting at bit 0 or later) are lead bytes:
// the ones at an even distance from the start of their run.
//
// A run's start is its bit without a run bit below it. Adding the starts
// at even positions to the runs carries each such run out past its top
// (into a bit outside every run), so what is left of the runs are those
// that start at odd positions. Example, runs at bits 1-4 and 6-7:
//   pairs 0b11011110, starts 0b01000010, even starts 0b01000000,
//   pairs + even starts = 0b100011110, & pairs = 0b00011110 (the odd run),
//   leads = (0b11000000 & even bits) | (0b00011110 & odd bits) = 0b01001010.
inline std::uint64_t Leads(std::uint64_t pairs) {
  constexpr std::uint64_t kEven = 0x5555555555555555ULL;
  const std::uint64_t starts = pairs & ~(pairs << 1);
  const std::uint64_t odd_runs = (pairs + (starts & kEven)) & pairs;
  return (pairs & ~odd_runs & kEven) | (odd_runs & ~kEven);
}

}  // namespace block64

// EUC at a character boundary: converts the 64 bytes at p into `converted`,
// byte for byte in place (an ASCII byte as it is, each JIS X 0208 pair as its
// Shift-JIS pair; see EucPair for the formulas). Returns how many bytes it
// converted: 64, or 63 when the last is a lead byte whose trail lies beyond
// (`converted` holds a byte of no meaning there); 0 when the block holds
// anything else (a single shift, a byte that is no EUC, a lead without its
// trail), which the converter takes one step at a time.
inline unsigned EucBlock64(const std::uint8_t* p, std::uint8_t* converted) {
  using namespace block64;
  const Bytes64 b(p);
  __m128i in_pair[4];
  for (int i = 0; i < 4; ++i) in_pair[i] = InRange(b.v[i], 0xA1, 0xFE);
  const std::uint64_t high = Bits(b.v[0], b.v[1], b.v[2], b.v[3]);
  const std::uint64_t pairs = Bits(in_pair[0], in_pair[1], in_pair[2], in_pair[3]);
  if (high != pairs) return 0;
  if (pairs == 0) {
    std::memcpy(converted, p, 64);
    return 64;
  }
  const std::uint64_t leads = Leads(pairs);
  // A lead must be followed by a trail; the last byte's trail is beyond.
  if ((leads << 1) & ~pairs) return 0;
  // The lowest bit of each byte, from the low bit of each 16-bit lane and
  // the ninth.
  const std::uint64_t odd = Bits(_mm_slli_epi16(b.v[0], 7), _mm_slli_epi16(b.v[1], 7),
                                 _mm_slli_epi16(b.v[2], 7), _mm_slli_epi16(b.v[3], 7));
  const std::uint64_t after_odd_lead = (leads & odd) << 1;
  const __m128i low7 = _mm_set1_epi8(0x7F);
  for (int i = 0; i < 4; ++i) {
    const __m128i v = b.v[i];
    const __m128i lead = Expand16(leads >> 16 * i);
    const __m128i odd_trail = Expand16(after_odd_lead >> 16 * i);
    // s1 = (b1 >> 1) + 0x30 + (b1 & 1) + (b1 > 0xDE ? 0x40 : 0)
    const __m128i half = _mm_and_si128(_mm_srli_epi16(v, 1), low7);
    const __m128i lower_rows = _mm_and_si128(InRange(v, 0xDF, 0xFF), _mm_set1_epi8(0x40));
    const __m128i s1 = _mm_add_epi8(_mm_add_epi8(half, _mm_set1_epi8(0x30)),
                                    _mm_add_epi8(_mm_and_si128(v, _mm_set1_epi8(1)), lower_rows));
    // s2 = b2 - 2 after an even lead; b2 - 0x61 + (b2 >= 0xE0) after an odd one
    const __m128i upper_cells = _mm_and_si128(InRange(v, 0xE0, 0xFF), _mm_set1_epi8(1));
    const __m128i odd_shift =
        _mm_sub_epi8(upper_cells, _mm_set1_epi8(0x5F));  // -0x5F, or -0x5E from 0xE0 on
    const __m128i s2 =
        _mm_add_epi8(_mm_sub_epi8(v, _mm_set1_epi8(2)), _mm_and_si128(odd_trail, odd_shift));
    const __m128i out = Select(lead, s1, Select(in_pair[i], s2, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(converted + 16 * i), out);
  }
  return leads >> 63 ? 63 : 64;
}

#else

inline constexpr bool kHaveBlocks64 = false;

namespace block64 {
inline std::uint64_t LineEnds(const std::uint8_t*) { return 0; }
}  // namespace block64

inline unsigned EucBlock64(const std::uint8_t*, std::uint8_t*) { return 0; }

#endif

}  // namespace ostrevin
