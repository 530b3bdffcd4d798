// The occurrences of a search string that ReplaceAll takes, found at memory
// speed and in time linear in the text: shared by ReplaceAll and by the
// chain that runs a table's entries over blocks of a text.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/byte_search.h"
#include "core/shift_jis.h"

namespace ostrevin {

// What a scan found: how many occurrences it took, and the last position it
// knows to be a character boundary on the walk (the end of the occurrence
// taken last, or a position after a trail byte that looked like a start).
struct OccurrenceScan {
  std::size_t count = 0;
  std::size_t boundary = 0;
};

// Knuth-Morris-Pratt border table: border[q] is the length of the longest
// proper prefix of search[0..q] that is also its suffix.
inline std::vector<std::size_t> BorderTable(std::string_view search) {
  std::vector<std::size_t> border(search.size(), 0);
  std::size_t k = 0;
  for (std::size_t q = 1; q < search.size(); ++q) {
    while (k > 0 && search[q] != search[k]) k = border[k - 1];
    if (search[q] == search[k]) ++k;
    border[q] = k;
  }
  return border;
}

// The same occurrences as ForEachOccurrence below, from `start` on, where
// `walk` (<= start) is a character boundary and no occurrence the walk takes
// starts before `start` unreported: Knuth-Morris-Pratt finds every
// occurrence, overlapping ones included, in O(n + m) whatever the text, and
// the walk is replayed lazily up to each one. The byte search falls back to
// this when near misses would make it quadratic.
template <typename OnMatch>
OccurrenceScan ForEachOccurrenceKmp(const char* text, std::size_t size, std::string_view search,
                                    std::size_t start, std::size_t walk, OnMatch on_match) {
  const std::size_t m = search.size();
  const std::vector<std::size_t> border = BorderTable(search);
  OccurrenceScan scan;
  std::size_t matched = 0;  // length of the search prefix that ends at i - 1
  std::size_t i = start;
  while (i < size) {
    if (matched == 0) {
      // Nothing pending: jump straight to the next candidate first byte.
      const void* hit = std::memchr(text + i, static_cast<unsigned char>(search[0]), size - i);
      if (hit == nullptr) break;
      i = static_cast<std::size_t>(static_cast<const char*>(hit) - text);
    }
    while (matched > 0 && text[i] != search[matched]) matched = border[matched - 1];
    if (text[i] == search[matched]) ++matched;
    ++i;
    if (matched < m) continue;
    const std::size_t p = i - m;
    matched = border[m - 1];
    if (p < walk) continue;  // overlaps the occurrence taken last
    while (walk < p) walk += sjis::CharLength(text, walk, size);
    if (walk != p) continue;  // p is the trail byte of a double-byte character
    on_match(p);
    ++scan.count;
    walk = p + m;
    matched = 0;  // an occurrence overlapping this one can never be taken
  }
  scan.boundary = walk;
  return scan;
}

// Calls on_match(p) for each occurrence that ReplaceAll takes, in order.
//
// The occurrences ReplaceAll takes are defined by a walk: start at byte 0; at
// each position either the search string follows (take it, continue right
// after it) or step one character (two bytes at a lead byte). Walking every
// byte is slow, so occurrences are found by a byte search, and each is taken
// when it starts on a character boundary, judged by looking back from it to
// the last boundary known (sjis::IsBoundary). An occurrence that starts
// inside the one taken last is never found, since the search resumes after
// it; one that starts on a trail byte at p is not taken, and p + 1 is then a
// boundary (the character began at p - 1).
//
// Reads of `text` after on_match(p) returns are all at positions >= p + m,
// which lets the caller rewrite the bytes before that point in place.
template <typename OnMatch>
OccurrenceScan ForEachOccurrence(const char* text, std::size_t size, std::string_view search,
                                 OnMatch on_match) {
  const std::size_t m = search.size();
  OccurrenceScan scan;
  if (m == 0 || m > size) return scan;
  ByteSearch finder(std::string_view(text, size), search);
  std::size_t from = 0;
  while (true) {
    const std::size_t p = finder.Find(from);
    if (p == ByteSearch::kNone) return scan;
    if (p == ByteSearch::kGaveUp) {
      const OccurrenceScan rest =
          ForEachOccurrenceKmp(text, size, search, finder.resume(), scan.boundary, on_match);
      return {scan.count + rest.count, rest.boundary};
    }
    if (!sjis::IsBoundary(text, scan.boundary, p)) {
      scan.boundary = from = p + 1;
      continue;
    }
    on_match(p);
    ++scan.count;
    scan.boundary = from = p + m;
  }
}

}  // namespace ostrevin
