#include "conversion/kanji_code.h"

#include "conversion/utf8_to_shift_jis.h"

#include <cstdint>
#include <cstring>

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
// The same formulas are applied to bytes outside these ranges, modulo 256, so
// that every input gives a defined output.

namespace {

using Byte = std::uint8_t;

constexpr Byte kEsc = 0x1B;
constexpr Byte kShiftOut = 0x0E;  // SO: JIS X 0201 katakana
constexpr Byte kShiftIn = 0x0F;   // SI: back to Roman
constexpr Byte kSingleShift2 = 0x8E;

inline Byte At(const std::string& text, std::size_t i) { return static_cast<Byte>(text[i]); }

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// True when the eight bytes at p are all below 0x80.
inline bool EightAscii(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & kHighBits) == 0;
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

enum class JisMode { kRoman, kKanji, kKana };

// Length of the mode switch that starts at text[i] (0 when none), and the
// mode it selects.
inline std::size_t JisSwitch(const std::string& text, std::size_t i, JisMode& mode) {
  const Byte b = At(text, i);
  if (b == kShiftIn) {
    mode = JisMode::kRoman;
    return 1;
  }
  if (b == kShiftOut) {
    mode = JisMode::kKana;
    return 1;
  }
  if (b != kEsc || i + 2 >= text.size()) return 0;
  const Byte b2 = At(text, i + 1);
  const Byte b3 = At(text, i + 2);
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

}  // namespace

void EucToShiftJis(std::string& text) {
  // The output never runs ahead of the input (each step writes at most as
  // many bytes as it reads), so one buffer serves both.
  const std::size_t size = text.size();
  char* data = text.data();
  std::size_t r = 0;
  std::size_t w = 0;
  while (r < size) {
    if (r + 8 <= size && EightAscii(data + r)) {
      if (w != r) std::memmove(data + w, data + r, 8);
      r += 8;
      w += 8;
      continue;
    }
    const Byte b1 = static_cast<Byte>(data[r]);
    if (b1 < 0x80) {
      data[w++] = static_cast<char>(b1);
      ++r;
      continue;
    }
    if (r + 1 == size) {  // a lone lead byte at the end stays as it is
      data[w++] = static_cast<char>(b1);
      ++r;
      break;
    }
    Byte b2 = static_cast<Byte>(data[r + 1]);
    r += 2;
    if (b1 == kSingleShift2) {
      if (b2 >= 0x21 && b2 <= 0x5F) b2 = static_cast<Byte>(b2 + 0x80);
      data[w++] = static_cast<char>(b2);
      continue;
    }
    Byte s1;
    Byte s2;
    EucPair(b1, b2, s1, s2);
    data[w++] = static_cast<char>(s1);
    data[w++] = static_cast<char>(s2);
  }
  text.resize(w);
}

void JisToShiftJis(std::string& text) {
  const std::size_t size = text.size();
  char* data = text.data();
  JisMode mode = JisMode::kRoman;
  std::size_t r = 0;
  std::size_t w = 0;
  // ESC, SO and SI are all below 0x20, so a run of bytes of 0x20 and above
  // holds no mode switch and is converted in one inner loop.
  const auto plain = [&](std::size_t i) { return static_cast<Byte>(data[i]) >= 0x20; };
  while (r < size) {
    if (!plain(r)) {
      if (const std::size_t skip = JisSwitch(text, r, mode); skip != 0) {
        r += skip;
        continue;
      }
    }
    switch (mode) {
      case JisMode::kRoman:
        do {
          data[w++] = data[r++];
        } while (r < size && plain(r));
        break;
      case JisMode::kKana:
        do {
          data[w++] = static_cast<char>(static_cast<Byte>(static_cast<Byte>(data[r++]) + 0x80));
        } while (r < size && plain(r));
        break;
      case JisMode::kKanji:
        if (r + 1 == size) {  // a lone first byte at the end is copied
          data[w++] = data[r++];
          break;
        }
        do {
          Byte s1;
          Byte s2;
          JisPair(static_cast<Byte>(data[r]), static_cast<Byte>(data[r + 1]), s1, s2);
          data[w++] = static_cast<char>(s1);
          data[w++] = static_cast<char>(s2);
          r += 2;
        } while (r + 1 < size && plain(r));
        break;
    }
  }
  text.resize(w);
}

AutoConversion AutoToShiftJis(std::string& text, Unconvertible mode) {
  AutoConversion done;
  done.code = DetectKanjiCode(text);
  switch (done.code) {
    case DetectedCode::kEuc:
      EucToShiftJis(text);
      break;
    case DetectedCode::kJis:
      JisToShiftJis(text);
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
