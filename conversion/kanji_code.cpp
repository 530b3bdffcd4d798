#include "conversion/kanji_code.h"

#include <endian.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "conversion/block64.h"
#include "conversion/cp932_tables.h"
#include "conversion/crlf_block_output.h"
#include "conversion/shift_jis_converters.h"
#include "conversion/shift_jis_output.h"
#include "conversion/utf8_to_shift_jis.h"

namespace ostrevin {

// How JIS X 0208 maps to Shift-JIS (the shifted encoding of JIS X 0208's
// annex; see also Lunde, CJKV Information Processing, ch. 4).
//
// A JIS X 0208 character is a row j1 and a cell j2, both bytes 0x21-0x7E.
// Shift-JIS folds two rows into one lead byte:
//
//   s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0)
//          rows 0x21-0x5E give leads 0x81-0x9F, rows 0x5F-0x7E leads 0xE0-0xEF
//   s2 = odd j1:  j2 + 0x1F, plus 1 when j2 >= 0x60 (trail 0x40-0x7E, 0x80-0x9E;
//                 0x7F is skipped because it is DEL)
//        even j1: j2 + 0x7E (trail 0x9F-0xFC)
//
// With h = b1 >> 1 both converters write this with shifts only:
//
// JIS (b1 = j1, b2 = j2). For odd b1, (b1 + 1) >> 1 = h + 1, so
//   s1 = h + 0x71 (b1 <= 0x5D) or h + 0xB1 (b1 >= 0x5F);
// for even b1, (b1 + 1) >> 1 = h, so s1 = h + 0x70 (b1 <= 0x5E) or h + 0xB0;
//   s2 = b2 + 0x1F (b2 <= 0x5F) or b2 + 0x20 (b2 >= 0x60) for odd b1,
//        b2 + 0x7E for even b1.
//
// EUC (b1 = j1 + 0x80, b2 = j2 + 0x80; 0x80 is even, so b1 and j1 have the
// same parity). h = (j1 >> 1) + 0x40, so the lead is 0x40 less than for JIS:
//   odd b1:  s1 = h + 0x31 (b1 <= 0xDD) or h + 0x71 (b1 >= 0xDF);
//   even b1: s1 = h + 0x30 (b1 <= 0xDE) or h + 0x70 (b1 >= 0xE0);
//   s2 = b2 - 0x61 (b2 <= 0xDF) or b2 - 0x60 (b2 >= 0xE0) for odd b1,
//        b2 - 2 for even b1.
//
// Worked example, the hiragana あ: JIS 0x24 0x22, EUC 0xA4 0xA2.
//   JIS: b1 even, h = 0x12: s1 = 0x12 + 0x70 = 0x82, s2 = 0x22 + 0x7E = 0xA0.
//   EUC: b1 even, h = 0x52: s1 = 0x52 + 0x30 = 0x82, s2 = 0xA2 - 2 = 0xA0.
//   Shift-JIS あ is 0x82 0xA0.
//
// Only bytes in these ranges are paired; anything else is no character of
// the code (see the header for what becomes of it).

namespace {

using Byte = std::uint8_t;

constexpr Byte kEsc = 0x1B;
constexpr Byte kShiftOut = 0x0E;      // SO: JIS X 0201 katakana
constexpr Byte kShiftIn = 0x0F;       // SI: back to Roman
constexpr Byte kSingleShift2 = 0x8E;  // SS2: half-width katakana
constexpr Byte kSingleShift3 = 0x8F;  // SS3: JIS X 0212

constexpr bool InRange(Byte b, Byte low, Byte high) { return b >= low && b <= high; }

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// How many of the eight bytes at p, from the first, are below 0x80 (the
// first byte of a little-endian word is its lowest).
inline unsigned LeadingAscii(const Byte* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  word = le64toh(word) & kHighBits;
  return word == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(word)) / 8;
}

// The pair formulas above without branches: for both parities the lead's
// upper half starts after 0xDE (EUC) or 0x5E (JIS), since an odd lead cannot
// be 0xDE/0x5E and an even one cannot be 0xDF/0x5F; an odd lead adds one.
inline void EucPair(Byte b1, Byte b2, Byte& s1, Byte& s2) {
  const Byte odd = b1 & 1;
  s1 = static_cast<Byte>((b1 >> 1) + 0x30 + odd + (b1 > 0xDE ? 0x40 : 0));
  s2 = odd ? static_cast<Byte>(b2 - 0x61 + (b2 >= 0xE0 ? 1 : 0)) : static_cast<Byte>(b2 - 2);
}

inline void JisPair(Byte b1, Byte b2, Byte& s1, Byte& s2) {
  const Byte odd = b1 & 1;
  s1 = static_cast<Byte>((b1 >> 1) + 0x70 + odd + (b1 > 0x5E ? 0x40 : 0));
  s2 = odd ? static_cast<Byte>(b2 + 0x1F + (b2 >= 0x60 ? 1 : 0)) : static_cast<Byte>(b2 + 0x7E);
}

// Sixteen bytes at a time, for runs of double-byte characters, with the
// compiler's portable vector types where there are any. A 16-bit lane holds
// one pair, lead in its low byte (little-endian), so the formulas above apply
// lane by lane without moving bytes between lanes.
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
using Bytes16 = Byte __attribute__((vector_size(16)));
using Lanes8 = std::uint16_t __attribute__((vector_size(16)));

// How many of the sixteen bytes at p, from the first, lie in [low, high].
inline unsigned LeadingInRange(const Byte* p, Byte low, Byte high) {
  Bytes16 v;
  std::memcpy(&v, p, 16);
  const auto fits = (v - low) <= static_cast<Byte>(high - low);
  std::uint64_t halves[2];
  std::memcpy(halves, &fits, 16);
  if (halves[0] != ~std::uint64_t{0}) return static_cast<unsigned>(__builtin_ctzll(~halves[0])) / 8;
  if (halves[1] != ~std::uint64_t{0}) {
    return 8 + static_cast<unsigned>(__builtin_ctzll(~halves[1])) / 8;
  }
  return 16;
}

// Eight pairs of JIS X 0208 bytes (EUC ones with `high` 0x80, JIS ones with
// 0) to Shift-JIS: JisPair lane by lane, the branches as masks.
inline std::array<Byte, 16> EightPairs(const Byte* p, Byte high) {
  Lanes8 v;
  std::memcpy(&v, p, 16);
  v -= static_cast<std::uint16_t>(high * 0x0101);
  const Lanes8 lead = v & 0xFF;
  const Lanes8 trail = v >> 8;
  const Lanes8 odd = lead & 1;
  const Lanes8 s1 = (lead >> 1) + 0x70 + odd + (reinterpret_cast<Lanes8>(lead > 0x5E) & 0x40);
  const Lanes8 s2 = trail + 0x7E - odd * 0x5F + (reinterpret_cast<Lanes8>(trail >= 0x60) & odd);
  const Lanes8 pairs = s1 | (s2 << 8);
  std::array<Byte, 16> out;
  std::memcpy(out.data(), &pairs, 16);
  return out;
}
#else
inline unsigned LeadingInRange(const Byte* p, Byte low, Byte high) {
  unsigned n = 0;
  while (n < 16 && InRange(p[n], low, high)) ++n;
  return n;
}

inline std::array<Byte, 16> EightPairs(const Byte* p, Byte high) {
  std::array<Byte, 16> out;
  for (int i = 0; i < 16; i += 2) {
    JisPair(static_cast<Byte>(p[i] - high), static_cast<Byte>(p[i + 1] - high), out[i], out[i + 1]);
  }
  return out;
}
#endif

// Length of the mode switch that starts at p[i] (0 when none), and the mode
// it selects.
inline std::size_t JisSwitch(const Byte* p, std::size_t i, std::size_t size, JisMode& mode) {
  const Byte b = p[i];
  if (b == kShiftIn) {
    mode = JisMode::kRoman;
    return 1;
  }
  if (b == kShiftOut) {
    mode = JisMode::kKana;
    return 1;
  }
  if (b != kEsc || i + 2 >= size) return 0;
  const Byte b2 = p[i + 1];
  const Byte b3 = p[i + 2];
  if (b2 == '$' && (b3 == 'B' || b3 == '@')) {
    mode = JisMode::kKanji;
    return 3;
  }
  if (b2 == '(' && (b3 == 'B' || b3 == 'J')) {
    mode = JisMode::kRoman;
    return 3;
  }
  if (b2 == '(' && b3 == 'I') {
    mode = JisMode::kKana;
    return 3;
  }
  return 0;
}

// Length of an escape sequence that JisSwitch does not know, taken as the
// ISO 2022 syntax shapes it: ESC, intermediate bytes 0x20-0x2F, and a final
// byte 0x30-0x7E when there is one ("ESC $ ( D": 4; "ESC $" at the end: 2).
inline std::size_t EscapeSequenceLength(const Byte* p, std::size_t i, std::size_t size) {
  std::size_t end = i + 1;
  while (end < size && InRange(p[end], 0x20, 0x2F)) ++end;
  if (end < size && InRange(p[end], 0x30, 0x7E)) ++end;
  return end - i;
}

}  // namespace

template <class Out>
void EucInto(std::string_view source, Out& out) {
  const auto* p = reinterpret_cast<const Byte*>(source.data());
  const std::size_t size = source.size();
  std::size_t at = 0;
  // What cannot be converted: false when the conversion stops there.
  const auto cannot = [&](std::size_t length, ProblemKind kind = ProblemKind::kInvalidBytes,
                          char32_t code_point = 0) {
    if (!out.CannotConvert(at, length, kind, code_point)) return false;
    at += length;
    return true;
  };
  // Whole blocks where they hold only ASCII and pairs; after a block that
  // does not, one step at a time to its end.
  Byte converted[128] = {};
  std::size_t blocks_from = 0;
  while (at < size) {
    if (kHaveBlocks64 && at >= blocks_from && size - at >= 64) {
      if (out.ReserveBlock()) {
        if (const unsigned done = EucBlock64(p + at, converted); done != 0) {
          out.Block64(converted, done);
          at += done;
          continue;
        }
      }
      blocks_from = at + 64;
    }
    out.Reserve();
    const Byte b1 = p[at];
    const std::size_t left = size - at;
    if (b1 < 0x80 && left >= 8) {
      const unsigned ascii = LeadingAscii(p + at);
      out.Word8(p + at, ascii);
      at += ascii;
      continue;
    }
    const Byte b2 = left >= 2 ? p[at + 1] : 0x00;
    if (b1 < 0x80) {
      out.Byte(b1);
      ++at;
    } else if (InRange(b1, 0xA1, 0xFE) && InRange(b2, 0xA1, 0xFE)) {
      // From a character boundary, 2n bytes A1-FE are n pairs.
      if (left >= 16) {
        const unsigned paired = LeadingInRange(p + at, 0xA1, 0xFE) & ~1U;
        out.Bytes16(EightPairs(p + at, 0x80).data(), paired);
        at += paired;
        continue;
      }
      Byte s1;
      Byte s2;
      EucPair(b1, b2, s1, s2);
      out.Pair(s1, s2);
      at += 2;
    } else if (b1 == kSingleShift2 && (InRange(b2, 0xA1, 0xDF) || InRange(b2, 0x21, 0x5F))) {
      out.Byte(static_cast<Byte>(b2 | 0x80));  // 0x21-0x5F: the 7-bit form
      at += 2;
    } else if (b1 == kSingleShift3 && InRange(b2, 0xA1, 0xFE)) {
      const Byte b3 = left >= 3 ? p[at + 2] : 0x00;
      if (!InRange(b3, 0xA1, 0xFE)) {
        if (!cannot(2)) break;
        continue;
      }
      const char32_t code_point = cp932::kJisX0212ToBmp[(b2 - 0xA1) * 94 + (b3 - 0xA1)];
      const std::uint16_t code = cp932::FromCodePoint(code_point);
      if (code_point == 0) {
        if (!cannot(3)) break;
      } else if (code == 0) {
        if (!cannot(3, ProblemKind::kUnmappable, code_point)) break;
      } else {
        out.Code(code);
        at += 3;
      }
    } else if (!cannot(1)) {
      break;
    }
  }
}

template <class Out>
void JisInto(std::string_view source, Out& out, JisMode& jis) {
  const auto* p = reinterpret_cast<const Byte*>(source.data());
  const std::size_t size = source.size();
  std::size_t at = 0;
  while (at < size) {
    out.Reserve();
    const Byte b1 = p[at];
    std::size_t length = 1;  // of what cannot be converted, when it cannot
    if (b1 < 0x21) {
      if (const std::size_t skip = JisSwitch(p, at, size, jis); skip != 0) {
        at += skip;
        continue;
      }
      if (b1 != kEsc) {
        out.Byte(b1);  // a control byte or space, in every mode
        ++at;
        continue;
      }
      length = EscapeSequenceLength(p, at, size);
    } else if (jis == JisMode::kRoman) {
      // Runs of printable ASCII (and spaces) go over up to eight at a time.
      if (b1 < 0x7F && size - at >= 16) {
        const unsigned printable = std::min(8U, LeadingInRange(p + at, 0x20, 0x7E));
        out.Word8(p + at, printable);
        at += printable;
        continue;
      }
      if (b1 < 0x80 || InRange(b1, 0xA1, 0xDF)) {
        out.Byte(b1);
        ++at;
        continue;
      }
    } else if (jis == JisMode::kKana) {
      if (b1 <= 0x5F) {
        out.Byte(static_cast<Byte>(b1 + 0x80));
        ++at;
        continue;
      }
    } else if (InRange(b1, 0x21, 0x7E) && at + 1 < size && InRange(p[at + 1], 0x21, 0x7E)) {
      // In Kanji mode 2n bytes 21-7E are n pairs.
      if (size - at >= 16) {
        const unsigned paired = LeadingInRange(p + at, 0x21, 0x7E) & ~1U;
        out.Bytes16(EightPairs(p + at, 0).data(), paired);
        at += paired;
        continue;
      }
      Byte s1;
      Byte s2;
      JisPair(b1, p[at + 1], s1, s2);
      out.Pair(s1, s2);
      at += 2;
      continue;
    }
    if (!out.CannotConvert(at, length, ProblemKind::kInvalidBytes)) break;
    at += length;
  }
}

template void EucInto(std::string_view, ShiftJisOutput&);
template void EucInto(std::string_view, CrLfBlockOutput&);
template void JisInto(std::string_view, ShiftJisOutput&, JisMode&);
template void JisInto(std::string_view, CrLfBlockOutput&, JisMode&);

CodeConversion EucToShiftJis(std::string& text, Unconvertible mode) {
  return ShiftJisOutput::Convert(text, mode, EucInto<ShiftJisOutput>);
}

CodeConversion JisToShiftJis(std::string& text, Unconvertible mode) {
  return ShiftJisOutput::Convert(text, mode, [](std::string_view source, ShiftJisOutput& out) {
    JisMode jis = JisMode::kRoman;
    JisInto(source, out, jis);
  });
}

AutoConversion AutoToShiftJis(std::string& text, Unconvertible mode) {
  AutoConversion done;
  done.code = DetectKanjiCode(text);
  switch (done.code) {
    case DetectedCode::kEuc:
      done.result = EucToShiftJis(text, mode);
      break;
    case DetectedCode::kJis:
      done.result = JisToShiftJis(text, mode);
      break;
    case DetectedCode::kUtf8:
      done.result = Utf8ToShiftJis(text, mode);
      break;
    case DetectedCode::kNone:
    case DetectedCode::kShiftJis:
      break;
  }
  return done;
}

}  // namespace ostrevin
