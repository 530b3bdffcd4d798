// DetectKanjiCode: the UTF-8 reading and then the EUC and Shift-JIS readings
// together are checked over the bytes from the first one of 0x80 or above;
// runs of ASCII are stepped over eight bytes at a time. A text that is valid
// UTF-8 throughout, the usual case, is recognised by one pass of a small
// automaton, and so are the two legacy readings.
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

// Whether the text from `at` holds a byte of E0 or above: in valid UTF-8
// always the lead of a three- or four-byte sequence.
bool HasLongLead(const Byte* p, std::size_t size, std::size_t at) {
  std::uint64_t word;
  for (; at + 8 <= size; at += 8) {
    std::memcpy(&word, p + at, 8);
    // Bits 7, 6 and 5 of a byte shifted onto bit 7: all set only for E0-FF.
    if ((word & word << 1 & word << 2 & kHighBits) != 0) return true;
  }
  for (; at < size; ++at) {
    if (p[at] >= 0xE0) return true;
  }
  return false;
}

// Whether the text from `at` is valid UTF-8 throughout, and if so whether it
// holds a three- or four-byte sequence. Stops at the first block with an
// error.
Utf8Shape CheckUtf8(const Byte* p, std::size_t size, std::size_t at) {
  constexpr std::size_t kBlock = 64;
  const std::size_t start = at;
  std::uint64_t state = kAccept;
  // Only the low six bits of `state` are the state; the bits above are left
  // over from the row. A 64-bit shift reads only the low six bits of its
  // count, so leaving them unmasked takes the mask off the chain from byte
  // to byte.
  const auto step = [&state](Byte b) { state = kUtf8Rows[b] >> (state & 63); };
  while (at < size) {
    if ((state & 63) == kAccept) at = SkipAsciiWords(p, at, size);
    if (at + kBlock <= size) {
      for (std::size_t i = 0; i < kBlock; ++i) step(p[at + i]);
      at += kBlock;
    } else {
      for (; at < size; ++at) step(p[at]);
    }
    if ((state & 63) == kError) return Utf8Shape::kInvalid;
  }
  if ((state & 63) != kAccept) return Utf8Shape::kInvalid;  // cut off at the end
  return HasLongLead(p, size, start) ? Utf8Shape::kValidWithLong : Utf8Shape::kValidShort;
}

// The number of bytes of 0x80 or above from `at` on.
std::size_t CountHighBytes(const Byte* p, std::size_t size, std::size_t at) {
  std::size_t count = 0;
  std::uint64_t word;
  for (; at + 8 <= size; at += 8) {
    std::memcpy(&word, p + at, 8);
    // The top bits moved down to ones, summed byte by byte into the top byte.
    count += (((word & kHighBits) >> 7) * 0x0101010101010101ULL) >> 56;
  }
  for (; at < size; ++at) count += p[at] >> 7;
  return count;
}

// Rule 3 of the header.
bool ReadsAsUtf8(const Byte* p, std::size_t size, std::size_t at) {
  std::size_t valid = 0;
  std::size_t invalid = 0;
  bool long_sequence = false;
  // Every byte of 0x80 or above ends up counted once, as valid or invalid
  // (sequences hold only such bytes), so valid * 10 >= high * 9 is
  // invalid * 10 <= high: once invalid passes a tenth of them, the text
  // cannot pass.
  const std::size_t hopeless = CountHighBytes(p, size, at) / 10;
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

constexpr bool InRange(unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; }

// Both readings are taken in one pass by one shift automaton (as for UTF-8
// above) whose state is the pair (EUC state, Shift-JIS state). Each reading
// is a small machine that mirrors the byte-at-a-time rule exactly: a lead
// waits for its partner; when the partner does not fit, the bytes waited on
// are misfits and the partner is read afresh, just as the rule steps one
// byte past a lead that starts no character and looks again.
//  EUC: start; after A1-FE; after 8E; after 8F; after 8F A1-FE. In the last
//       one a byte that does not fit makes two misfits: 8F, then the A1-FE
//       after it, which read afresh is a lead whose partner does not fit.
//  Shift-JIS: start; after a lead 81-9F/E0-FC.
// At most three misfits and one katakana per reading come with one byte.
enum EucState : unsigned { kEucStart, kEucLead, kEucSs2, kEucSs3, kEucSs3Second, kEucStates };
enum SjisState : unsigned { kSjisStart, kSjisLead, kSjisStates };

struct Step {
  unsigned next;
  unsigned misfits;
  unsigned katakana;
};

constexpr Step EucFresh(unsigned b) {
  if (b < 0x80) return {kEucStart, 0, 0};
  if (InRange(b, 0xA1, 0xFE)) return {kEucLead, 0, 0};
  if (b == 0x8E) return {kEucSs2, 0, 0};
  if (b == 0x8F) return {kEucSs3, 0, 0};
  return {kEucStart, 1, 0};
}

constexpr Step EucStep(unsigned state, unsigned b) {
  const auto refused = [b](unsigned waited) {
    Step step = EucFresh(b);
    step.misfits += waited;
    return step;
  };
  switch (state) {
    case kEucLead:
      return InRange(b, 0xA1, 0xFE) ? Step{kEucStart, 0, 0} : refused(1);
    case kEucSs2:
      return InRange(b, 0xA1, 0xDF) || InRange(b, 0x21, 0x5F) ? Step{kEucStart, 0, 1} : refused(1);
    case kEucSs3:
      return InRange(b, 0xA1, 0xFE) ? Step{kEucSs3Second, 0, 0} : refused(1);
    case kEucSs3Second:
      return InRange(b, 0xA1, 0xFE) ? Step{kEucStart, 0, 0} : refused(2);
    default:
      return EucFresh(b);
  }
}

constexpr Step SjisFresh(unsigned b) {
  if (b < 0x80) return {kSjisStart, 0, 0};
  if (InRange(b, 0xA1, 0xDF)) return {kSjisStart, 0, 1};
  if (InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC)) return {kSjisLead, 0, 0};
  return {kSjisStart, 1, 0};
}

constexpr Step SjisStep(unsigned state, unsigned b) {
  if (state == kSjisStart) return SjisFresh(b);
  if (InRange(b, 0x40, 0x7E) || InRange(b, 0x80, 0xFC)) return {kSjisStart, 0, 0};
  Step step = SjisFresh(b);
  ++step.misfits;
  return step;
}

// The pair of states as a bit offset, a multiple of six: ten states fill 60
// of the 64 bits of a row.
constexpr unsigned kPairStates = unsigned{kEucStates} * unsigned{kSjisStates};
static_assert(kPairStates * 6 <= 64);
constexpr unsigned PairOffset(unsigned euc, unsigned sjis) {
  return (euc * unsigned{kSjisStates} + sjis) * 6;
}

// What a step adds, packed in six bits: EUC misfits (2 bits), EUC katakana,
// Shift-JIS misfits (2 bits), Shift-JIS katakana.
constexpr unsigned PackCounts(const Step& euc, const Step& sjis) {
  return euc.misfits | euc.katakana << 2 | sjis.misfits << 3 | sjis.katakana << 5;
}

struct LegacyTables {
  std::array<std::uint64_t, 256> next{};    // the next pair state at each offset
  std::array<std::uint64_t, 256> counts{};  // PackCounts at each offset
  // A packed six-bit count spread into four 16-bit lanes, so that the lanes
  // of many steps add up in one word.
  std::array<std::uint64_t, 64> lanes{};
  // The misfits a text ending in each state has left: every byte waited on.
  std::array<std::uint64_t, kPairStates> end_lanes{};
};

constexpr LegacyTables MakeLegacyTables() {
  LegacyTables t;
  for (unsigned b = 0; b < 256; ++b) {
    for (unsigned euc = 0; euc < kEucStates; ++euc) {
      for (unsigned sjis = 0; sjis < kSjisStates; ++sjis) {
        const Step e = EucStep(euc, b);
        const Step s = SjisStep(sjis, b);
        const unsigned at = PairOffset(euc, sjis);
        t.next[b] |= std::uint64_t{PairOffset(e.next, s.next)} << at;
        t.counts[b] |= std::uint64_t{PackCounts(e, s)} << at;
      }
    }
  }
  for (unsigned c = 0; c < 64; ++c) {
    t.lanes[c] = std::uint64_t{c & 3} | std::uint64_t{(c >> 2) & 1} << 16 |
                 std::uint64_t{(c >> 3) & 3} << 32 | std::uint64_t{c >> 5} << 48;
  }
  for (unsigned euc = 0; euc < kEucStates; ++euc) {
    for (unsigned sjis = 0; sjis < kSjisStates; ++sjis) {
      const std::uint64_t euc_waiting = euc == kEucSs3Second ? 2 : euc != kEucStart;
      t.end_lanes[PairOffset(euc, sjis) / 6] = euc_waiting | std::uint64_t{sjis} << 32;
    }
  }
  return t;
}

constexpr LegacyTables kLegacy = MakeLegacyTables();

// Reads the text from `at` as EUC and as Shift-JIS at once. The state is
// carried in the low six bits of `state`; the bits above are left over from
// the row and ignored (a 64-bit shift uses only the low six bits of its
// count, so they cost nothing on the chain from byte to byte).
void ReadAsEucAndShiftJis(const Byte* p, std::size_t size, std::size_t at, Reading& euc,
                          Reading& sjis) {
  // Lanes hold at most 3 per byte; flush them before 65536 / 3 bytes.
  constexpr std::size_t kFlush = 16384;
  std::uint64_t state = 0;
  while (at < size) {
    std::uint64_t lanes = 0;
    const std::size_t end = std::min(size, at + kFlush);
    while (at < end) {
      // Both readings at their start state: an ASCII byte leaves them there
      // and adds nothing, so eight of them can be stepped over at once.
      if ((state & 63) == 0) {
        at = SkipAsciiWords(p, at, end);
        if (at == end) break;
      }
      const auto step = [&](Byte b) {
        const unsigned offset = state & 63;
        lanes += kLegacy.lanes[(kLegacy.counts[b] >> offset) & 63];
        state = kLegacy.next[b] >> offset;
      };
      if (at + 8 <= end) {
        for (int i = 0; i < 8; ++i) step(p[at + i]);
        at += 8;
      } else {
        for (; at < end; ++at) step(p[at]);
      }
    }
    if (at == size) lanes += kLegacy.end_lanes[(state & 63) / 6];
    euc.misfits += lanes & 0xFFFF;
    euc.katakana += (lanes >> 16) & 0xFFFF;
    sjis.misfits += (lanes >> 32) & 0xFFFF;
    sjis.katakana += lanes >> 48;
  }
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
  Reading euc;
  Reading sjis;
  ReadAsEucAndShiftJis(p, size, first_high, euc, sjis);
  if (euc.misfits != sjis.misfits) {
    return euc.misfits < sjis.misfits ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  if (euc.katakana != sjis.katakana) {
    return euc.katakana < sjis.katakana ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  return FirstDecisiveByte(p, size);
}

}  // namespace ostrevin
