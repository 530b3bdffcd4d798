// ByteSearch: a first-and-last-byte filter over blocks of sixteen or (where
// the processor has AVX2) thirty-two bytes.
#include "core/byte_search.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREVIN_BYTE_SEARCH_AVX2 1
#endif

namespace ostrevin {

#if defined(OSTREVIN_BYTE_SEARCH_AVX2)
namespace {

// What the processor has does not change while the program runs: asked
// once, since the engine makes a search for every short literal it looks for.
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has;
}

}  // namespace
#endif

ByteSearch::ByteSearch(std::string_view text, std::string_view needle)
    : text_(text), needle_(needle) {
#if defined(OSTREVIN_BYTE_SEARCH_AVX2)
  wide_ = HasAvx2();
#endif
}

bool ByteSearch::Matches(std::size_t p) {
  const std::size_t inner = needle_.size() - 2;
  compared_ += inner + 1;
  const char* text = text_.data() + p + 1;
  const char* needle = needle_.data() + 1;
  // Most needles are a few characters long: a call to memcmp would cost
  // more than comparing them.
  if (inner <= 8) {
    for (std::size_t i = 0; i < inner; ++i) {
      if (text[i] != needle[i]) return false;
    }
    return true;
  }
  return std::memcmp(text, needle, inner) == 0;
}

// Out of line, so that the filter loops keep their registers.
__attribute__((noinline)) std::size_t ByteSearch::Candidates(std::size_t base, std::uint32_t hits) {
  while (hits != 0) {
    const std::size_t candidate = base + static_cast<std::size_t>(__builtin_ctz(hits));
    if (OverBudget(candidate)) {
      resume_ = candidate;
      return kGaveUp;
    }
    if (Matches(candidate)) return candidate;
    hits &= hits - 1;
  }
  return kNone;
}

#if defined(OSTREVIN_BYTE_SEARCH_AVX2)
// Bit i of a mask says that text[p + i] is the needle's first byte and
// text[p + m - 1 + i] its last: both loads of a block starting at p end at
// or before text[p + 31 + m - 1], inside the text while p + 31 <= last.
__attribute__((target("avx2"))) std::size_t ByteSearch::ScanWide(std::size_t& p, std::size_t last) {
  const char* const text = text_.data();
  const std::size_t m = needle_.size();
  const __m256i first = _mm256_set1_epi8(needle_[0]);
  const __m256i final = _mm256_set1_epi8(needle_[m - 1]);
  std::size_t at = p;
  for (; at + 31 <= last; at += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + at + m - 1));
    const auto hits = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, final))));
    if (hits == 0) continue;
    if (const std::size_t found = Candidates(at, hits); found != kNone) return found;
  }
  p = at;
  return kNone;
}

// The same sixteen bytes at a time (SSE2, which every x86-64 has).
std::size_t ByteSearch::ScanNarrow(std::size_t& p, std::size_t last) {
  const char* const text = text_.data();
  const std::size_t m = needle_.size();
  const __m128i first = _mm_set1_epi8(needle_[0]);
  const __m128i final = _mm_set1_epi8(needle_[m - 1]);
  std::size_t at = p;
  for (; at + 15 <= last; at += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + m - 1));
    const auto hits = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
    if (hits == 0) continue;
    if (const std::size_t found = Candidates(at, hits); found != kNone) return found;
  }
  p = at;
  return kNone;
}
#endif

std::size_t ByteSearch::Find(std::size_t from) {
  if (!gave_up_) {
    const std::size_t found = Filter(from);
    if (found != kGaveUp) return found;
    gave_up_ = true;
    at_ = from = resume_;
    matched_ = 0;
    last_from_ = from;
  }
  return FindLinear(from);
}

std::size_t ByteSearch::FindLinear(std::size_t from) {
  const std::size_t m = needle_.size();
  if (border_.empty()) {
    border_.assign(m, 0);
    std::size_t k = 0;
    for (std::size_t q = 1; q < m; ++q) {
      while (k > 0 && needle_[q] != needle_[k]) k = border_[k - 1];
      if (needle_[q] == needle_[k]) ++k;
      border_[q] = k;
    }
  }
  if (from >= last_from_ && last_found_ != kNone && from <= last_found_) {
    last_from_ = from;
    return last_found_;
  }
  last_found_ = kNone;
  if (from < last_from_ || from > at_) {
    // Going back, or past what was read: start afresh there.
    at_ = from;
    matched_ = 0;
  } else {
    // Forget the partial matches that start before `from`.
    while (matched_ > 0 && at_ - matched_ < from) matched_ = border_[matched_ - 1];
  }
  last_from_ = from;
  const char* const text = text_.data();
  const std::size_t size = text_.size();
  while (at_ < size) {
    const char c = text[at_++];
    while (matched_ > 0 && needle_[matched_] != c) matched_ = border_[matched_ - 1];
    if (needle_[matched_] == c) ++matched_;
    if (matched_ == m) {
      matched_ = border_[m - 1];
      last_found_ = at_ - m;
      return last_found_;
    }
  }
  return kNone;
}

std::size_t ByteSearch::Filter(std::size_t from) {
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
#if defined(OSTREVIN_BYTE_SEARCH_AVX2)
  if (wide_) {
    if (const std::size_t found = ScanWide(p, last); found != kNone) return found;
  }
  if (const std::size_t found = ScanNarrow(p, last); found != kNone) return found;
#endif
  // The rest (all of it elsewhere): the first byte by memchr.
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
