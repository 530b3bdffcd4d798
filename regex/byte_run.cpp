// FindByteRun: the member test over sixteen bytes at once when the set is a
// few byte ranges, else one table lookup per byte.
#include "regex/byte_run.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin::regex {
namespace {

class RunScanner {
 public:
  RunScanner(const PatternRecord::ByteRun& run, const char* end)
      : member_(run.member.data()), end_(end) {
#if defined(__SSE2__)
    ranges_ = run.ranges;
    for (int i = 0; i < ranges_; ++i) {
      first_[i] = _mm_set1_epi8(static_cast<char>(run.rangeFirst[static_cast<std::size_t>(i)]));
      span_[i] = _mm_set1_epi8(static_cast<char>(run.rangeSpan[static_cast<std::size_t>(i)]));
    }
#endif
  }

  // The first position at or after p that holds a member byte (`want`
  // true) or a byte that is not one (false); the end when there is none.
  [[nodiscard]] const char* Next(const char* p, bool want) const {
#if defined(__SSE2__)
    if (ranges_ > 0) {
      const unsigned flip = want ? 0U : 0xFFFFU;
      for (; end_ - p >= 16; p += 16) {
        const unsigned hits = Members(p) ^ flip;
        if (hits != 0) return p + __builtin_ctz(hits);
      }
    }
#endif
    while (p < end_ && (member_[static_cast<std::uint8_t>(*p)] != 0) != want) ++p;
    return p;
  }

 private:
#if defined(__SSE2__)
  // Bit i set when p[i] is a member. A byte x lies in first .. first + span
  // when x - first (modulo 256) is at most span, that is when it equals its
  // unsigned minimum with span.
  [[nodiscard]] unsigned Members(const char* p) const {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i in = _mm_setzero_si128();
    for (int i = 0; i < ranges_; ++i) {
      const __m128i d = _mm_sub_epi8(x, first_[i]);
      in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_min_epu8(d, span_[i]), d));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(in));
  }

  int ranges_ = 0;
  __m128i first_[PatternRecord::ByteRun::kMostRanges];
  __m128i span_[PatternRecord::ByteRun::kMostRanges];
#endif
  const std::uint8_t* member_;
  const char* end_;
};

}  // namespace

bool FindByteRun(PatternRecord& record, const char* start, const char* end, std::uint8_t previous,
                 bool multi_line) {
  const PatternRecord::ByteRun& run = *record.byteRun;
  const RunScanner scan(run, end);
  const char* begin = start;
  const char* stop = nullptr;
  if (!run.lineStart) {
    for (;;) {
      begin = scan.Next(begin, true);
      if (begin == end) return false;
      stop = scan.Next(begin, false);
      if (stop - begin >= run.minimum) break;
      begin = stop;
    }
  } else {
    if (previous == '\n') stop = scan.Next(begin, false);
    while (stop == nullptr || stop - begin < run.minimum) {
      if (!multi_line) return false;
      const void* nl = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin));
      if (nl == nullptr) return false;
      begin = static_cast<const char*>(nl) + 1;
      if (begin >= end) return false;
      stop = scan.Next(begin, false);
    }
  }
  for (std::int32_t g = 0; g <= record.groupCount; ++g) {
    record.groupStart[static_cast<std::size_t>(g)] = begin;
    record.groupEnd[static_cast<std::size_t>(g)] = stop;
  }
  record.lastClosedGroup = record.groupCount;
  return true;
}

}  // namespace ostrevin::regex
