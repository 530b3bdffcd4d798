// DetectKanjiCode: the UTF-8 reading and then the EUC and Shift-JIS readings
// together are checked over the bytes from the first one of 0x80 or above;
// runs of ASCII are stepped over eight bytes at a time. A text that is valid
// UTF-8 throughout, the usual case, is recognised by one pass of local tests
// on sixteen bytes at a time (a small automaton takes the ends, and the
// whole text without SSE2). The UTF-8 tally of a text that is not, and the
// two legacy readings, are taken many bytes at a time: the tally sixteen
// positions at once, the legacy readings as bit masks of 64 bytes, with an
// automaton for the bytes after the last whole block (and without SSE2).
// KanjiCodeDetector takes the same readings over stretches of a text read in
// pieces and adds up what each stretch gives. Without the text's length it
// cannot skip a reading that a later piece may still need; with it, it skips
// the legacy readings of valid UTF-8 and asks for the text again should it
// need them after all.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "conversion/kanji_code.h"
#include "conversion/kanji_code_detector.h"
#include "conversion/utf8_sequence.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Steps the automaton over p[at, end) from `state`; returns the state there.
std::uint64_t StepUtf8(const Byte* p, std::size_t at, std::size_t end, std::uint64_t state) {
  // Only the low six bits of a state are the state; the bits above are left
  // over from the row. A 64-bit shift reads only the low six bits of its
  // count, so leaving them unmasked takes the mask off the chain from byte
  // to byte.
  for (; at < end; ++at) state = kUtf8Rows[p[at]] >> (state & 63);
  return state & 63;
}

#if defined(__SSE2__)
// The bytes of the sixteen at q that break UTF-8 (nonzero), seen with the
// three bytes before them (which must be readable). UTF-8 is valid exactly
// where every byte passes these local tests:
//  - a continuation byte (80-BF) stands where one is due, and only there:
//    one is due right after a byte of C0-FF, two after E0-FF, three after
//    F0-FF;
//  - no byte is C0, C1 or F5-FF, which begin no sequence;
//  - the byte after E0 is A0-BF (no overlong form), after ED 80-9F (no
//    surrogate), after F0 90-BF (no overlong form), after F4 80-8F (nothing
//    beyond U+10FFFF).
// Each lane compares its byte with the three before it, so the automaton's
// chain from byte to byte is gone. SSE2 compares bytes as signed: 80-BF are
// the bytes below C0 (-64), and after the four special leads any byte that is
// no continuation byte is broken anyway, so one comparison bounds each range.
inline __m128i BrokenUtf8(const Byte* q) {
  const auto load = [](const Byte* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  };
  const auto all = [](unsigned b) { return _mm_set1_epi8(static_cast<char>(b)); };
  const __m128i b0 = load(q);
  const __m128i b1 = load(q - 1);
  const __m128i continuation = _mm_cmplt_epi8(b0, all(0xC0));
  // Nonzero where a continuation byte is due.
  const __m128i due = _mm_or_si128(
      _mm_or_si128(_mm_subs_epu8(b1, all(0xBF)), _mm_subs_epu8(load(q - 2), all(0xDF))),
      _mm_subs_epu8(load(q - 3), all(0xEF)));
  __m128i broken = _mm_cmpeq_epi8(continuation, _mm_cmpeq_epi8(due, _mm_setzero_si128()));
  broken = _mm_or_si128(broken, _mm_cmpeq_epi8(_mm_and_si128(b0, all(0xFE)), all(0xC0)));
  broken = _mm_or_si128(broken, _mm_subs_epu8(b0, all(0xF4)));
  const auto after = [&](unsigned lead, __m128i out_of_range) {
    return _mm_and_si128(_mm_cmpeq_epi8(b1, all(lead)), out_of_range);
  };
  broken = _mm_or_si128(broken, _mm_or_si128(after(0xE0, _mm_cmplt_epi8(b0, all(0xA0))),
                                             after(0xED, _mm_cmpgt_epi8(b0, all(0x9F)))));
  return _mm_or_si128(broken, _mm_or_si128(after(0xF0, _mm_cmplt_epi8(b0, all(0x90))),
                                           after(0xF4, _mm_cmpgt_epi8(b0, all(0x8F)))));
}

inline bool AnyNonzero(__m128i v) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) != 0xFFFF;
}
#endif

// Whether the text from `at` (before which it holds no byte of 0x80 or
// above) is valid UTF-8 throughout: by the local tests of BrokenUtf8 on
// blocks of sixteen bytes, and by the automaton on the first bytes (until
// three are behind) and on the last ones, from the start of the sequence
// that the last block cuts, so that the text's end is checked too.
bool IsValidUtf8(const Byte* p, std::size_t size, std::size_t at) {
#if defined(__SSE2__)
  std::size_t block = std::max<std::size_t>(at, 3);
  if (block >= size) return StepUtf8(p, at, size, kAccept) == kAccept;
  if (StepUtf8(p, at, block, kAccept) == kError) return false;
  for (; block + 64 <= size; block += 64) {
    const Byte* q = p + block;
    // Sixty-four ASCII bytes after three others leave nothing to check.
    std::uint64_t before;
    std::uint64_t words[8];
    std::memcpy(&before, q - 3, 8);
    std::memcpy(words, q, sizeof words);
    if (((before | words[0] | words[1] | words[2] | words[3] | words[4] | words[5] | words[6] |
          words[7]) &
         kHighBits) == 0) {
      continue;
    }
    if (AnyNonzero(_mm_or_si128(_mm_or_si128(BrokenUtf8(q), BrokenUtf8(q + 16)),
                                _mm_or_si128(BrokenUtf8(q + 32), BrokenUtf8(q + 48))))) {
      return false;
    }
  }
  for (; block + 16 <= size; block += 16) {
    if (AnyNonzero(BrokenUtf8(p + block))) return false;
  }
  // The last byte before `block` that is no continuation byte begins the
  // sequence that may run on past it.
  std::size_t from = block;
  for (std::size_t k = block; k > at && k + 3 > block;) {
    if ((p[--k] & 0xC0) != 0x80) {
      from = k;
      break;
    }
  }
  return StepUtf8(p, from, size, kAccept) == kAccept;
#else
  return StepUtf8(p, at, size, kAccept) == kAccept;
#endif
}

// The sum of the eight bytes of a word.
inline std::size_t SumOfBytes(std::uint64_t word) {
  word = (word & 0x00FF00FF00FF00FFULL) + ((word >> 8) & 0x00FF00FF00FF00FFULL);
  return static_cast<std::size_t>((word * 0x0001000100010001ULL) >> 48);
}

// Rule 3 of the header. Decoding resynchronises at every lead byte (C2-F4):
// a sequence, valid or not, takes only continuation bytes after its lead.
// So each lead begins a sequence of its own, the valid bytes are those of
// the leads whose sequence is valid, and whether one is depends on the
// bytes after it only: the sum can be taken at every position at once.
struct Utf8Tally {
  std::size_t high = 0;   // bytes of 0x80 or above
  std::size_t valid = 0;  // bytes of valid sequences (whose leads were seen)
  bool long_sequence = false;
};

// Adds the leads in p[at, end) one at a time; bytes after `end` are read as
// their sequences need.
void TallyBytes(const Byte* p, std::size_t size, std::size_t at, std::size_t end,
                Utf8Tally& tally) {
  for (; at < end; ++at) {
    tally.high += p[at] >> 7;
    if (p[at] < 0xC2 || p[at] > 0xF4) continue;
    const utf8::Sequence sequence = utf8::Decode(p + at, size - at);
    if (!sequence.valid) continue;
    tally.valid += sequence.length;
    tally.long_sequence |= sequence.length >= 3;
  }
}

#if defined(__GNUC__)
using Bytes16 = Byte __attribute__((vector_size(16)));

// Sixteen positions at a time, each lane judging the sequence its byte
// begins from the three bytes after it: needs p[at + 18] in the text.
// At most 32 steps, so that no lane of the sums passes 255.
void TallyLanes(const Byte* p, std::size_t at, unsigned steps, Utf8Tally& tally) {
  Bytes16 valid = {};
  Bytes16 high = {};
  Bytes16 longs = {};
  for (unsigned step = 0; step < steps; ++step, at += 16) {
    Bytes16 b0, b1, b2, b3;
    std::memcpy(&b0, p + at, 16);
    std::memcpy(&b1, p + at + 1, 16);
    std::memcpy(&b2, p + at + 2, 16);
    std::memcpy(&b3, p + at + 3, 16);
    const auto in = [](Bytes16 b, Byte low, Byte high) {
      return reinterpret_cast<Bytes16>(static_cast<Bytes16>(b - low) <=
                                       static_cast<Byte>(high - low));
    };
    const auto is = [](Bytes16 b, Byte value) { return reinterpret_cast<Bytes16>(b == value); };
    const Bytes16 c1 = in(b1, 0x80, 0xBF);
    const Bytes16 c2 = in(b2, 0x80, 0xBF);
    const Bytes16 two = in(b0, 0xC2, 0xDF) & c1;
    const Bytes16 three =
        ((is(b0, 0xE0) & in(b1, 0xA0, 0xBF)) | (is(b0, 0xED) & in(b1, 0x80, 0x9F)) |
         (in(b0, 0xE1, 0xEF) & ~is(b0, 0xED) & c1)) &
        c2;
    const Bytes16 four = ((is(b0, 0xF0) & in(b1, 0x90, 0xBF)) |
                          (is(b0, 0xF4) & in(b1, 0x80, 0x8F)) | (in(b0, 0xF1, 0xF3) & c1)) &
                         c2 & in(b3, 0x80, 0xBF);
    valid += (two & 2) | (three & 3) | (four & 4);
    high += b0 >> 7;
    longs |= three | four;
  }
  std::uint64_t words[2];
  std::memcpy(words, &valid, 16);
  tally.valid += SumOfBytes(words[0]) + SumOfBytes(words[1]);
  std::memcpy(words, &high, 16);
  tally.high += SumOfBytes(words[0]) + SumOfBytes(words[1]);
  std::memcpy(words, &longs, 16);
  tally.long_sequence |= (words[0] | words[1]) != 0;
}
#endif

// What follows a stretch of the text when the length of the rest is not
// known.
constexpr std::uint64_t kRestUnknown = UINT64_MAX;

// Adds the leads in p[at, size) to `tally`, which holds those of the text
// before `at` from its first byte of 0x80 or above on. `rest` is the number
// of bytes of the text after `size` (kRestUnknown: no number). Known, the
// tally stops as soon as the text cannot pass, and says so (true), with a
// tally that does not pass either. valid * 10 >= high * 9 is valid >= 9 *
// invalid. The bytes of 0x80 or above seen so far less the valid ones
// counted so far (which may hold up to three bytes further on) are at most
// the invalid ones among them, and the rest of the text can add at most its
// length to the valid ones: once that cannot reach nine times as many, the
// text cannot pass.
bool TallyUtf8(const Byte* p, std::size_t size, std::size_t at, std::uint64_t rest,
               Utf8Tally& tally) {
  constexpr std::size_t kChunk = 32 * 16;
  while (at < size) {
    const std::size_t end = std::min(size, at + kChunk);
#if defined(__GNUC__)
    if (end + 3 <= size && end - at == kChunk) {
      TallyLanes(p, at, kChunk / 16, tally);
    } else {
      TallyBytes(p, size, at, end, tally);
    }
#else
    TallyBytes(p, size, at, end, tally);
#endif
    at = end;
    if (rest == kRestUnknown) continue;
    const std::size_t invalid_seen = tally.high > tally.valid ? tally.high - tally.valid : 0;
    if (tally.valid + (size - at) + rest < 9 * std::uint64_t{invalid_seen}) return true;
  }
  return false;
}

bool ReadsAsUtf8(const Utf8Tally& tally) {
  return tally.long_sequence && tally.valid * 10 >= tally.high * 9;
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

// Steps the pair automaton over p[at, size) from `state` (a pair offset),
// adding to the two readings what it finds; the end of the text ends it.
// The state is carried in the low six bits of `state`; the bits above are
// left over from the row and ignored (a 64-bit shift uses only the low six
// bits of its count, so they cost nothing on the chain from byte to byte).
void StepBytes(const Byte* p, std::size_t size, std::size_t at, std::uint64_t state, Reading& euc,
               Reading& sjis) {
  // Lanes hold at most 3 per byte; flush them before 65536 / 3 bytes.
  constexpr std::size_t kFlush = 16384;
  do {
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
  } while (at < size);
}

#if defined(__SSE2__)
// Sixty-four bytes at a time, as bit masks (bit i for byte i). Each reading
// is a chain rule: byte i completes the character that byte i - 1 begins
// ("links" to it) when byte i - 1 begins one and the two bytes make a
// character; a byte that begins none, or a partner that does not fit, is
// read afresh. Along a run of links the bytes therefore alternate, begin,
// complete, begin, ..., from the byte before the run, which always begins
// one (a link needs a lead before it): which bytes complete a character
// follows from the links alone, with no loop over bytes.
using Signed16 = signed char __attribute__((vector_size(16)));

constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
constexpr std::uint64_t kTop = std::uint64_t{1} << 63;

// The byte classes of a block, bit i for byte i.
struct BlockClasses {
  std::uint64_t high = 0;   // 80-FF
  std::uint64_t kanji = 0;  // A1-FE: an EUC pair byte
  std::uint64_t kana = 0;   // A1-DF: Shift-JIS half-width katakana
  std::uint64_t ss2 = 0;    // 8E
  std::uint64_t ss3 = 0;    // 8F
  std::uint64_t lead = 0;   // 81-9F, E0-FC: a Shift-JIS lead
  std::uint64_t trail = 0;  // 40-7E, 80-FC: a Shift-JIS trail
  std::uint64_t kana7 = 0;  // 21-5F: the 7-bit EUC form of half-width katakana after 8E
};

inline std::uint64_t Bits(Signed16 fits, unsigned k) {
  return std::uint64_t{
             static_cast<std::uint16_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(fits)))}
         << (16 * k);
}

// The eight bit planes of the block are taken first (SSE2 gathers only the
// top bit of each byte, so each plane is the block doubled once more), and
// the classes are formed from them on whole 64-bit masks.
inline BlockClasses Classify(const Byte* block) {
  std::uint64_t plane[8] = {};  // plane[j]: bit 7 - j of each byte
#pragma GCC unroll 4
  for (unsigned k = 0; k < 4; ++k) {
    Bytes16 v;
    std::memcpy(&v, block + 16 * k, 16);
#pragma GCC unroll 8
    for (unsigned j = 0; j < 8; ++j) {
      plane[j] |= Bits(reinterpret_cast<Signed16>(v), k);
      v += v;
    }
  }
  const auto [b7, b6, b5, b4, b3, b2, b1, b0] = plane;
  const std::uint64_t low5_zero = ~(b4 | b3 | b2 | b1 | b0);
  const std::uint64_t low5_ones = b4 & b3 & b2 & b1 & b0;
  const std::uint64_t x80_9f = b7 & ~b6 & ~b5;
  const std::uint64_t xa0_bf = b7 & ~b6 & b5;
  const std::uint64_t xc0_df = b7 & b6 & ~b5;
  const std::uint64_t xe0_ff = b7 & b6 & b5;
  const std::uint64_t xa0 = xa0_bf & low5_zero;
  const std::uint64_t xfd_ff = xe0_ff & b4 & b3 & b2 & (b1 | b0);
  const std::uint64_t x8e_8f = x80_9f & ~b4 & b3 & b2 & b1;
  BlockClasses c;
  c.high = b7;
  c.kana = (xa0_bf | xc0_df) & ~xa0;
  c.kanji = c.kana | (xe0_ff & ~(xe0_ff & low5_ones));
  c.ss2 = x8e_8f & ~b0;
  c.ss3 = x8e_8f & b0;
  c.lead = (x80_9f & ~low5_zero) | (xe0_ff & ~xfd_ff);
  c.trail = (~b7 & b6 & ~(b5 & low5_ones)) | (b7 & ~xfd_ff);
  c.kana7 = ~b7 & ((~b6 & b5 & ~low5_zero) | (b6 & ~b5));
  return c;
}

// The bytes that complete a character, given `links`: in each run of links
// the first, third, fifth ... byte (the byte before the run begins one).
// Adding a run's first bit to the run carries through it, which marks the
// runs that start at an odd position.
inline std::uint64_t Completing(std::uint64_t links) {
  const std::uint64_t odd_starts = links & ~(links << 1) & ~kEvenBits;
  const std::uint64_t in_odd_runs = links & ~(links + odd_starts);
  return (links & ~in_odd_runs & kEvenBits) | (in_odd_runs & ~kEvenBits);
}

// Per-byte counts of two masks (bit population of each byte), added lane by
// lane; a byte of a count grows by at most 8 a block.
using Words2 = std::uint64_t __attribute__((vector_size(16)));

inline Words2 ByteCounts(Words2 m) {
  m = m - ((m >> 1) & 0x5555555555555555ULL);
  m = (m & 0x3333333333333333ULL) + ((m >> 2) & 0x3333333333333333ULL);
  return (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
}

// The two readings over whole blocks of 64 bytes from `at`, from the start
// states; returns where the blocks end, with the pair state there in
// `state` (a pair offset). Gives the same counts and state as the pair
// automaton over the same bytes. What a block hands to the next is kept in
// bits (1 or 0), not states, so that a pair split across two blocks, which
// happens at random, costs no branch.
std::size_t ReadBlocks(const Byte* p, std::size_t size, std::size_t at, std::uint64_t& state,
                       Reading& euc, Reading& sjis) {
  // EUC: byte 63 began a pair of A1-FE bytes, began an 8E pair, is 8F, or
  // began an A1-FE pair right after 8F. Shift-JIS: byte 63 began a pair.
  std::uint64_t in_pair = 0, in_ss2 = 0, in_ss3 = 0, in_ss3_pair = 0;
  std::uint64_t in_lead = 0;
  while (at + 64 <= size) {
    Words2 euc_counts = {0, 0};
    Words2 sjis_counts = {0, 0};
    // 31 blocks keep every byte of the counts below 256.
    for (unsigned block = 0; block < 31 && at + 64 <= size; ++block, at += 64) {
      const BlockClasses c = Classify(p + at);
      if ((c.high | in_pair | in_ss2 | in_ss3 | in_lead) == 0) continue;
      const auto [high, kanji, kana, ss2, ss3, lead, trail, kana7] = c;
      const std::uint64_t after_ss2 = ss2 << 1 | in_ss2;

      // EUC: A1-FE links to A1-FE, 8E to A1-DF and 21-5F. 8F never links:
      // it begins a character when the byte after it begins an A1-FE pair
      // that holds, and is a misfit otherwise (the automaton counts the
      // same: 8F, then the A1-FE after it read afresh as a lead).
      const std::uint64_t euc_done =
          Completing(((kanji << 1 | in_pair) & kanji) | (after_ss2 & (kana | kana7)));
      const std::uint64_t euc_begins = (kanji | ss2) & ~euc_done;
      // A lead in byte 63 waits for the next block, and so does 8F in byte
      // 62 or 63.
      const std::uint64_t euc_failed = euc_begins & ~(euc_done >> 1) & ~kTop;
      const std::uint64_t held_pairs = euc_begins & kanji & ((euc_done >> 1) | kTop);
      const std::uint64_t ss3_failed = ss3 & ~(held_pairs >> 1) & ~kTop;
      const std::uint64_t euc_misfits = (high & ~(kanji | ss2 | ss3)) | euc_failed | ss3_failed;
      const std::uint64_t euc_katakana = euc_begins & ss2 & (euc_done >> 1);
      // What the bytes carried from the last block began.
      const std::uint64_t carried_failed = ~euc_done & 1;
      euc.misfits +=
          ((in_pair | in_ss2) + in_ss3_pair) * carried_failed + (in_ss3 & ~held_pairs & 1);
      euc.katakana += in_ss2 & euc_done & 1;
      in_pair = (euc_begins & kanji) >> 63;
      in_ss2 = (euc_begins & ss2) >> 63;
      in_ss3 = ss3 >> 63;
      in_ss3_pair = in_pair & (ss3 >> 62);

      // Shift-JIS: a lead 81-9F/E0-FC links to a trail 40-7E/80-FC.
      const std::uint64_t sjis_done = Completing((lead << 1 | in_lead) & trail);
      const std::uint64_t sjis_begins = lead & ~sjis_done;
      const std::uint64_t sjis_misfits =
          (high & ~(lead | kana) & ~sjis_done) | (sjis_begins & ~(sjis_done >> 1) & ~kTop);
      const std::uint64_t sjis_katakana = kana & ~sjis_done;
      sjis.misfits += in_lead & ~sjis_done & 1;
      in_lead = sjis_begins >> 63;

      euc_counts += ByteCounts(Words2{euc_misfits, euc_katakana});
      sjis_counts += ByteCounts(Words2{sjis_misfits, sjis_katakana});
    }
    euc.misfits += SumOfBytes(euc_counts[0]);
    euc.katakana += SumOfBytes(euc_counts[1]);
    sjis.misfits += SumOfBytes(sjis_counts[0]);
    sjis.katakana += SumOfBytes(sjis_counts[1]);
  }
  const unsigned euc_state = in_ss3 != 0        ? kEucSs3
                             : in_ss3_pair != 0 ? kEucSs3Second
                             : in_pair != 0     ? kEucLead
                             : in_ss2 != 0      ? kEucSs2
                                                : kEucStart;
  state = PairOffset(euc_state, in_lead != 0 ? kSjisLead : kSjisStart);
  return at;
}
#endif

// The bytes of 0x80 or above in p[at, size), a word at a time.
std::size_t CountHighBytes(const Byte* p, std::size_t size, std::size_t at) {
  std::size_t count = 0;
  while (at + 8 <= size) {
    // Each byte of `lanes` counts the top bits of at most 255 words.
    std::uint64_t lanes = 0;
    for (unsigned n = 0; n < 255 && at + 8 <= size; ++n, at += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + at, 8);
      lanes += (word >> 7) & 0x0101010101010101ULL;
    }
    count += SumOfBytes(lanes);
  }
  for (; at < size; ++at) count += p[at] >> 7;
  return count;
}

// Both legacy readings of p[at, size), which starts with both at their start
// states; the end of the text is at `size`.
void ReadLegacy(const Byte* p, std::size_t size, std::size_t at, Reading& euc, Reading& sjis) {
  std::uint64_t state = 0;
#if defined(__SSE2__)
  at = ReadBlocks(p, size, at, state, euc, sjis);
#endif
  StepBytes(p, size, at, state, euc, sjis);
}

// Rule 4 of the header; kNone when the readings tie.
DetectedCode CompareReadings(const Reading& euc, const Reading& sjis) {
  if (euc.misfits != sjis.misfits) {
    return euc.misfits < sjis.misfits ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  if (euc.katakana != sjis.katakana) {
    return euc.katakana < sjis.katakana ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  return DetectedCode::kNone;
}

// Rule 5 of the header, given the first byte of 0x80 or above: before it
// only ESC $ can decide. In a text without such a byte this is rule 1.
DetectedCode FirstDecisiveByte(const Byte* p, std::size_t size, std::size_t first_high) {
  const std::string_view ascii(reinterpret_cast<const char*>(p), first_high);
  if (ascii.find("\x1b$") != std::string_view::npos) return DetectedCode::kJis;
  for (std::size_t i = first_high; i < size; ++i) {
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

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Whether a text may be cut right after the byte c and each side read on
// its own as within the whole: after a byte below 0x80 both legacy readings
// are at their start states (it completes a pair, or is read afresh as a
// character of its own), no UTF-8 sequence reaches past it (it is no
// continuation byte), and the first decisive byte never looks past it (a
// byte of 0x80 or above followed by it decides). ESC is the exception: with
// a $ after it, it decides by itself.
bool EndsStretch(char c) {
  const auto b = static_cast<Byte>(c);
  return b < 0x80 && b != 0x1B;
}

}  // namespace

DetectedCode DetectKanjiCode(std::string_view text) {
  const auto* p = reinterpret_cast<const Byte*>(text.data());
  const std::size_t size = text.size();
  const std::size_t first_high = FirstHighByte(p, size);
  if (first_high == size) return FirstDecisiveByte(p, size, size);
  if (text.starts_with(kBom)) return DetectedCode::kUtf8;
  if (IsValidUtf8(p, size, first_high)) {
    if (HasLongLead(p, size, first_high)) return DetectedCode::kUtf8;
  } else {
    Utf8Tally tally;
    TallyUtf8(p, size, first_high, /*rest=*/0, tally);
    if (ReadsAsUtf8(tally)) return DetectedCode::kUtf8;
  }
  Reading euc;
  Reading sjis;
  ReadLegacy(p, size, first_high, euc, sjis);
  const DetectedCode code = CompareReadings(euc, sjis);
  return code != DetectedCode::kNone ? code : FirstDecisiveByte(p, size, first_high);
}

bool KanjiCodeDetector::Add(std::string_view piece) {
  if (!held_.empty()) {
    const auto end = std::find_if(piece.begin(), piece.end(), EndsStretch);
    if (end == piece.end()) {
      held_.append(piece);
      return true;
    }
    const auto joined = static_cast<std::size_t>(end - piece.begin()) + 1;
    held_.append(piece.substr(0, joined));
    if (!Read(held_)) return false;
    held_.clear();
    piece.remove_prefix(joined);
  }
  const auto last = std::find_if(piece.rbegin(), piece.rend(), EndsStretch);
  const auto whole = static_cast<std::size_t>(piece.rend() - last);
  if (!Read(piece.substr(0, whole))) return false;
  held_.assign(piece.substr(whole));
  return true;
}

bool KanjiCodeDetector::Read(std::string_view stretch) {
  if (stretch.empty()) return true;
  if (!started_) {
    started_ = true;
    bom_ = stretch.starts_with(kBom);
  }
  if (bom_) return true;
  const auto* p = reinterpret_cast<const Byte*>(stretch.data());
  const std::size_t size = stretch.size();
  read_ += size;
  const std::size_t first_high = FirstHighByte(p, size);
  if (decisive_ == DetectedCode::kNone) decisive_ = FirstDecisiveByte(p, size, first_high);
  if (first_high == size) return true;
  high_ = true;

  if (!utf8_failed_) {
    if (IsValidUtf8(p, size, first_high)) {
      if (!utf8_long_) utf8_long_ = HasLongLead(p, size, first_high);
      // Valid UTF-8 with a long sequence so far: should it stay valid, it is
      // UTF-8, whatever else the text holds.
      if (skips_ && utf8_throughout_ && utf8_long_) {
        skipped_ = true;
        return true;
      }
      // In a stretch of valid UTF-8 every high byte belongs to a valid
      // sequence whose lead is in the stretch: its tally is its count of
      // high bytes, taken faster than the tally.
      const std::size_t high = CountHighBytes(p, size, first_high);
      utf8_high_ += high;
      utf8_valid_bytes_ += high;
    } else {
      utf8_throughout_ = false;
      if (skipped_) {
        StartOver();
        return false;
      }
      Utf8Tally tally{utf8_high_, utf8_valid_bytes_, utf8_long_};
      utf8_failed_ = TallyUtf8(p, size, first_high, Rest(), tally);
      utf8_high_ = tally.high;
      utf8_valid_bytes_ = tally.valid;
      utf8_long_ = tally.long_sequence;
    }
  }

  Reading euc;
  Reading sjis;
  ReadLegacy(p, size, first_high, euc, sjis);
  euc_misfits_ += euc.misfits;
  euc_katakana_ += euc.katakana;
  sjis_misfits_ += sjis.misfits;
  sjis_katakana_ += sjis.katakana;
  return true;
}

void KanjiCodeDetector::StartOver() {
  const std::optional<std::uint64_t> length = length_;
  *this = KanjiCodeDetector();
  length_ = length;
}

std::uint64_t KanjiCodeDetector::Rest() const {
  // A text longer than it was said to be has no known rest.
  return length_ && *length_ >= read_ ? *length_ - read_ : kRestUnknown;
}

std::optional<DetectedCode> KanjiCodeDetector::Result() {
  if (!Read(held_)) return std::nullopt;
  held_.clear();
  if (bom_) return DetectedCode::kUtf8;
  if (!high_) return decisive_;
  if (!utf8_failed_ && ReadsAsUtf8({utf8_high_, utf8_valid_bytes_, utf8_long_})) {
    return DetectedCode::kUtf8;
  }
  const DetectedCode code =
      CompareReadings({euc_misfits_, euc_katakana_}, {sjis_misfits_, sjis_katakana_});
  return code != DetectedCode::kNone ? code : decisive_;
}

}  // namespace ostrevin
