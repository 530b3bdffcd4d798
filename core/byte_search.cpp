// ByteSearch: a first-and-last-byte filter over blocks of sixteen bytes.
#include "core/byte_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin {

bool ByteSearch::Matches(std::size_t p) {
  const std::size_t inner = needle_.size() - 2;
  compared_ += inner + 1;
  return std::memcmp(text_.data() + p + 1, needle_.data() + 1, inner) == 0;
}

std::size_t ByteSearch::Find(std::size_t from) {
  const std::size_t m = needle_.size();
  const std::size_t size = text_.size();
  if (from > size || size - from < m) return kNone;
  const char* const text = text_.data();
  if (m == 1) {
    const void* hit = std::memchr(text + from, needle_[0], size - from);
    return hit == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(hit) - text);
  }
  // Candidates start at p in [from, last].
  const std::size_t last = size - m;
  std::size_t p = from;
#if defined(__SSE2__)
  // Byte i of `first` compares text[p + i] with the needle's first byte, of
  // `final` text[p + m - 1 + i] with its last: both loads end at or before
  // text[last + m - 1 + ...], inside the text while p + 15 <= last.
  const __m128i first = _mm_set1_epi8(needle_[0]);
  const __m128i final = _mm_set1_epi8(needle_[m - 1]);
  for (; p + 15 <= last; p += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + m - 1));
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
    while (hits != 0) {
      const std::size_t candidate = p + static_cast<std::size_t>(__builtin_ctz(hits));
      if (OverBudget(candidate)) {
        resume_ = candidate;
        return kGaveUp;
      }
      if (Matches(candidate)) return candidate;
      hits &= hits - 1;
    }
  }
#endif
  // The rest (all of it without SSE2): the first byte by memchr.
  while (p <= last) {
    const void* hit = std::memchr(text + p, needle_[0], last - p + 1);
    if (hit == nullptr) return kNone;
    p = static_cast<std::size_t>(static_cast<const char*>(hit) - text);
    if (OverBudget(p)) {
      resume_ = p;
      return kGaveUp;
    }
    if (text[p + m - 1] == needle_[m - 1] && Matches(p)) return p;
    ++p;
  }
  return kNone;
}

}  // namespace ostrevin
