// The occurrences of a search string that ReplaceAll takes, found at memory
// speed and in time linear in the text: shared by ReplaceAll and by the
// chain that runs a table's entries over blocks of a text.
#pragma once

#include <cstddef>
#include <string_view>

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
