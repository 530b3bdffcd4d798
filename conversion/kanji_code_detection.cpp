// DetectKanjiCode: each reading (UTF-8, EUC, Shift-JIS) is checked in a pass
// of its own over the bytes from the first one of 0x80 or above; runs of
// ASCII are stepped over eight bytes at a time. A text that is valid UTF-8
// throughout, the usual case, is recognised by one pass of a small automaton.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "conversion/kanji_code.h"
#include "conversion/utf8_sequence.h"

namespace ostrevin {

namespace {

using Byte = std::uint8_t;

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The first position from `at` on that is not in a run of eight ASCII bytes
// starting at `at`, `at + 8`, ...
inline std::size_t SkipAsciiWords(const Byte* p, std::size_t at, std::size_t size) {
  std::uint64_t word;
  while (at + 8 <= size && (std::memcpy(&word, p + at, 8), (word & kHighBits) == 0)) at += 8;
  return at;
}

std::size_t FirstHighByte(const Byte* p, std::size_t size) {
  std::size_t at = SkipAsciiWords(p, 0, size);
  while (at < size && p[at] < 0x80) ++at;
  return at;
}

// Strict UTF-8 as a shift automaton: a state is a bit offset into the row of
// the byte just read, and the 6 bits there are the next state, so each step
// is a table load (which depends on the byte only), a shift and a mask.
// States: kAccept between characters, kError for good, kTail1..kTail3 with
// that many continuation bytes 80-BF to come, and the four leads whose second
// byte has a narrower range (E0: A0-BF, ED: 80-9F, F0: 90-BF, F4: 80-8F).
enum : std::uint64_t {
  kAccept = 0,
  kError = 6,
  kTail1 = 12,
  kTail2 = 18,
  kTail3 = 24,
  kAfterE0 = 30,
  kAfterED = 36,
  kAfterF0 = 42,
  kAfterF4 = 48,
};

constexpr std::uint64_t NextUtf8State(std::uint64_t state, unsigned b) {
  if (state == kAccept) {
    if (b < 0x80) return kAccept;
    if (b >= 0xC2 && b <= 0xDF) return kTail1;
    if (b == 0xE0) return kAfterE0;
    if (b == 0xED) return kAfterED;
    if (b >= 0xE1 && b <= 0xEF) return kTail2;
    if (b == 0xF0) return kAfterF0;
    if (b == 0xF4) return kAfterF4;
    if (b >= 0xF1 && b <= 0xF3) return kTail3;
    return kError;
  }
  const bool continuation = b >= 0x80 && b <= 0xBF;
  switch (state) {
    case kTail1:
      return continuation ? kAccept : kError;
    case kTail2:
      return continuation ? kTail1 : kError;
    case kTail3:
      return continuation ? kTail2 : kError;
    case kAfterE0:
      return b >= 0xA0 && b <= 0xBF ? kTail1 : kError;
    case kAfterED:
      return b >= 0x80 && b <= 0x9F ? kTail1 : kError;
    case kAfterF0:
      return b >= 0x90 && b <= 0xBF ? kTail2 : kError;
    case kAfterF4:
      return b >= 0x80 && b <= 0x8F ? kTail2 : kError;
    default:
      return kError;
  }
}

constexpr std::array<std::uint64_t, 256> MakeUtf8Rows() {
  std::array<std::uint64_t, 256> rows{};
  for (unsigned b = 0; b < 256; ++b) {
    for (std::uint64_t state = kAccept; state <= kAfterF4; state += 6) {
      rows[b] |= NextUtf8State(state, b) << state;
    }
  }
  return rows;
}

constexpr std::array<std::uint64_t, 256> kUtf8Rows = MakeUtf8Rows();

enum class Utf8Shape { kValidWithLong, kValidShort, kInvalid };

// Whether the text from `at` is valid UTF-8 throughout, and if so whether it
// holds a three- or four-byte sequence (a byte of E0 or above, in valid text
// always such a lead). Stops at the first block with an error.
Utf8Shape CheckUtf8(const Byte* p, std::size_t size, std::size_t at) {
  constexpr std::size_t kBlock = 64;
  std::uint64_t state = kAccept;
  unsigned long_lead = 0;
  while (at < size) {
    if (state == kAccept) at = SkipAsciiWords(p, at, size);
    const std::size_t end = std::min(size, at + kBlock);
    for (; at < end; ++at) {
      const Byte b = p[at];
      state = (kUtf8Rows[b] >> state) & 63;
      long_lead |= b + 0x20u;  // bit 8 set for E0-FF
    }
    if (state == kError) return Utf8Shape::kInvalid;
  }
  if (state != kAccept) return Utf8Shape::kInvalid;  // cut off at the end
  return (long_lead & 0x100) != 0 ? Utf8Shape::kValidWithLong : Utf8Shape::kValidShort;
}

// Rule 3 of the header.
bool ReadsAsUtf8(const Byte* p, std::size_t size, std::size_t at) {
  std::size_t valid = 0;
  std::size_t invalid = 0;
  bool long_sequence = false;
  // A text has at most `size` bytes of 0x80 or above, so once more than a
  // tenth of that is invalid the text cannot pass.
  const std::size_t hopeless = size / 10;
  while (at < size) {
    if (p[at] < 0x80) {
      at = SkipAsciiWords(p, at + 1, size);
      continue;
    }
    const utf8::Sequence sequence = utf8::Decode(p + at, size - at);
    if (sequence.valid) {
      valid += sequence.length;
      long_sequence |= sequence.length >= 3;
    } else {
      invalid += sequence.length;  // lead and continuation bytes, all 0x80 or above
      if (invalid > hopeless) return false;
    }
    at += sequence.length;
  }
  return long_sequence && valid * 10 >= (valid + invalid) * 9;
}

// Rule 4 of the header: what one reading makes of the text.
struct Reading {
  std::size_t misfits = 0;
  std::size_t katakana = 0;
};

constexpr bool InRange(Byte b, Byte low, Byte high) { return b >= low && b <= high; }

// Reads the text from `at` as one code: `character` gets the position of
// each byte of 0x80 or above and returns the length of the character that
// starts there (counting half-width katakana in `reading`), or 0 when the
// byte starts none.
template <typename Character>
Reading ReadAs(const Byte* p, std::size_t size, std::size_t at, Character character) {
  Reading reading;
  while (at < size) {
    if (p[at] < 0x80) {
      at = SkipAsciiWords(p, at + 1, size);
    } else if (const std::size_t length = character(at, size - at, reading); length != 0) {
      at += length;
    } else {
      ++reading.misfits;
      ++at;
    }
  }
  return reading;
}

// True when the 16 bytes at p are all A1-FE: at a character boundary, eight
// EUC pairs.
inline bool SixteenEucPairBytes(const Byte* p) {
  using Bytes16 = Byte __attribute__((vector_size(16)));
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  const auto fits = (v >= 0xA1) & (v <= 0xFE);  // -1 or 0 in each byte
  std::uint64_t halves[2];
  std::memcpy(halves, &fits, sizeof halves);
  return (halves[0] & halves[1]) == ~std::uint64_t{0};
}

Reading ReadAsEuc(const Byte* p, std::size_t size, std::size_t at) {
  return ReadAs(p, size, at, [p](std::size_t i, std::size_t left, Reading& reading) -> std::size_t {
    const Byte b = p[i];
    if (InRange(b, 0xA1, 0xFE)) {
      if (left < 2 || !InRange(p[i + 1], 0xA1, 0xFE)) return 0;
      return left >= 16 && SixteenEucPairBytes(p + i) ? 16 : 2;
    }
    if (b == 0x8E) {
      if (left < 2 || !(InRange(p[i + 1], 0xA1, 0xDF) || InRange(p[i + 1], 0x21, 0x5F))) return 0;
      ++reading.katakana;
      return 2;
    }
    if (b == 0x8F) {
      return left >= 3 && InRange(p[i + 1], 0xA1, 0xFE) && InRange(p[i + 2], 0xA1, 0xFE) ? 3 : 0;
    }
    return 0;
  });
}

Reading ReadAsShiftJis(const Byte* p, std::size_t size, std::size_t at) {
  return ReadAs(p, size, at, [p](std::size_t i, std::size_t left, Reading& reading) -> std::size_t {
    const Byte b = p[i];
    if (InRange(b, 0xA1, 0xDF)) {
      ++reading.katakana;
      return 1;
    }
    const bool lead = InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC);
    return lead && left >= 2 && (InRange(p[i + 1], 0x40, 0x7E) || InRange(p[i + 1], 0x80, 0xFC))
               ? 2
               : 0;
  });
}

// Rule 5 of the header.
DetectedCode FirstDecisiveByte(const Byte* p, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const Byte b = p[i];
    const Byte n = i + 1 < size ? p[i + 1] : 0x00;
    if (b == 0x1B && n == 0x24) return DetectedCode::kJis;
    if (b < 0x80) continue;
    if (b >= 0x81 && b <= 0x9F) return DetectedCode::kShiftJis;
    if (b >= 0xA1 && b <= 0xDF) return DetectedCode::kEuc;
    // b is 0x80, 0xA0 or 0xE0-0xFF.
    if (n <= 0xA0) return DetectedCode::kShiftJis;
    if (b == 0xFD || b == 0xFE) return DetectedCode::kEuc;
    // Otherwise n is examined as a byte of its own at the next position.
  }
  return DetectedCode::kNone;
}

}  // namespace

DetectedCode DetectKanjiCode(std::string_view text) {
  const auto* p = reinterpret_cast<const Byte*>(text.data());
  const std::size_t size = text.size();
  const std::size_t first_high = FirstHighByte(p, size);
  if (first_high == size) {
    return text.find("\x1b$") != std::string_view::npos ? DetectedCode::kJis : DetectedCode::kNone;
  }
  if (text.starts_with("\xEF\xBB\xBF")) return DetectedCode::kUtf8;
  switch (CheckUtf8(p, size, first_high)) {
    case Utf8Shape::kValidWithLong:
      return DetectedCode::kUtf8;
    case Utf8Shape::kValidShort:
      break;
    case Utf8Shape::kInvalid:
      if (ReadsAsUtf8(p, size, first_high)) return DetectedCode::kUtf8;
      break;
  }
  const Reading euc = ReadAsEuc(p, size, first_high);
  const Reading sjis = ReadAsShiftJis(p, size, first_high);
  if (euc.misfits != sjis.misfits) {
    return euc.misfits < sjis.misfits ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  if (euc.katakana != sjis.katakana) {
    return euc.katakana < sjis.katakana ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  return FirstDecisiveByte(p, size);
}

}  // namespace ostrevin
