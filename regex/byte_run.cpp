// ByteRunSearch: member bytes tested sixteen at a time when the set is a few
// byte ranges, else through the table, into one bit mask per 64 bytes.
#include "regex/byte_run.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin::regex {

ByteRunSearch::ByteRunSearch(PatternRecord& record, const char* text_begin, const char* text_end)
    : record_(record),
      run_(*record.byteRun),
      begin_(text_begin),
      end_(text_end),
      multi_line_(record.multiLine != 0 || (record.flags & kFlagMultiLine) != 0) {}

// A byte x lies in first .. first + span when x - first (modulo 256) is at
// most span, that is when it equals its unsigned minimum with span.
std::uint64_t ByteRunSearch::MaskAt(std::size_t block) const {
  const char* p = begin_ + block;
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  if (run_.ranges > 0) {
    __m128i first[PatternRecord::ByteRun::kMostRanges];
    __m128i span[PatternRecord::ByteRun::kMostRanges];
    for (int i = 0; i < run_.ranges; ++i) {
      first[i] = _mm_set1_epi8(static_cast<char>(run_.rangeFirst[static_cast<std::size_t>(i)]));
      span[i] = _mm_set1_epi8(static_cast<char>(run_.rangeSpan[static_cast<std::size_t>(i)]));
    }
    for (int part = 0; part < 4; ++part) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
      __m128i in = _mm_setzero_si128();
      for (int i = 0; i < run_.ranges; ++i) {
        const __m128i d = _mm_sub_epi8(x, first[i]);
        in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_min_epu8(d, span[i]), d));
      }
      mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(in)) & 0xFFFFU)
              << (16 * part);
    }
    return mask;
  }
#endif
  for (int i = 0; i < 64; ++i) {
    mask |= static_cast<std::uint64_t>(run_.member[static_cast<std::uint8_t>(p[i])] != 0) << i;
  }
  return mask;
}

const char* ByteRunSearch::Next(const char* p, bool want) {
  for (;;) {
    const auto offset = static_cast<std::size_t>(p - begin_);
    const std::size_t block = offset & ~std::size_t{63};
    if (static_cast<std::size_t>(end_ - begin_) - block < 64) break;
    if (block != block_) {
      mask_ = MaskAt(block);
      block_ = block;
    }
    const std::uint64_t hits = (want ? mask_ : ~mask_) & (~std::uint64_t{0} << (offset & 63));
    if (hits != 0) return begin_ + block + __builtin_ctzll(hits);
    p = begin_ + block + 64;
  }
  // The last, partial block.
  while (p < end_ && (run_.member[static_cast<std::uint8_t>(*p)] != 0) != want) ++p;
  return p;
}

bool ByteRunSearch::Find(const char* from) {
  const char* begin = from;
  const char* stop = nullptr;
  if (!run_.lineStart) {
    for (;;) {
      begin = Next(begin, true);
      if (begin == end_) return false;
      stop = Next(begin, false);
      if (stop - begin >= run_.minimum) break;
      begin = stop;
    }
  } else {
    // «^» at `from` holds where the matcher's character before it is a line
    // feed: at the beginning of the text, or after one under multi-line.
    if (from == begin_ || (multi_line_ && from[-1] == '\n')) stop = Next(begin, false);
    while (stop == nullptr || stop - begin < run_.minimum) {
      if (!multi_line_) return false;
      const void* nl = std::memchr(begin, '\n', static_cast<std::size_t>(end_ - begin));
      if (nl == nullptr) return false;
      begin = static_cast<const char*>(nl) + 1;
      if (begin >= end_) return false;
      stop = Next(begin, false);
    }
  }
  for (std::int32_t g = 0; g <= record_.groupCount; ++g) {
    record_.groupStart[static_cast<std::size_t>(g)] = begin;
    record_.groupEnd[static_cast<std::size_t>(g)] = stop;
  }
  record_.lastClosedGroup = record_.groupCount;
  record_.subjectBegin = begin_;
  record_.subjectEnd = end_;
  return true;
}

}  // namespace ostrevin::regex
