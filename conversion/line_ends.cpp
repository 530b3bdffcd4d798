#include "conversion/line_ends.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin {

namespace {

// The LF bytes of [p, p + size), sixteen at a time: each block's compare
// result (-1 for an LF) is subtracted from byte counters, which are summed
// before they can overflow, every 255 blocks.
std::size_t CountLineFeeds(const char* p, std::size_t size) {
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  while (size - i >= 16) {
    const std::size_t blocks = std::min<std::size_t>((size - i) / 16, 255);
    __m128i counters = zero;
    for (std::size_t b = 0; b < blocks; ++b, i += 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(block, lf));
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);  // two sums of eight counters
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; i < size; ++i) count += p[i] == '\n' ? 1 : 0;
  return count;
}

}  // namespace

// The text is taken in runs that hold no CR. Inside a run every LF is a lone
// LF; a CR that ends a run is a CR LF when the next run starts with an LF,
// and a lone CR otherwise (followed by another CR, another byte or the end).
// Each CR writes nothing when it is read and one LF when its line end is
// decided, so the write position never passes the read position and the text
// is rewritten in place.
std::size_t NormalizeLineEnds(std::string& text) {
  char* data = text.data();
  const std::size_t size = text.size();
  std::size_t count = 0;
  std::size_t r = 0;
  std::size_t w = 0;
  bool pending_cr = false;
  while (true) {
    const void* cr = std::memchr(data + r, '\r', size - r);
    const std::size_t run_end =
        cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : size;
    if (pending_cr) {
      if (r < run_end && data[r] == '\n') {
        ++r;  // CR LF: one LF, not counted
      } else {
        ++count;  // lone CR
      }
      data[w++] = '\n';
      pending_cr = false;
    }
    const std::size_t length = run_end - r;
    count += CountLineFeeds(data + r, length);
    if (w != r && length != 0) std::memmove(data + w, data + r, length);
    w += length;
    r = run_end;
    if (r == size) break;
    pending_cr = true;
    ++r;  // the CR itself
  }
  // A CR as the last byte leaves the loop only after its LF was written: the
  // run after it is empty and takes the lone-CR branch above.
  text.resize(w);
  return count;
}

}  // namespace ostrevin
