// ReplaceAll: replace every occurrence of a byte string, stepping whole
// Shift-JIS characters, in time linear in the text.
#include <cstring>

#include "tables/conversion_table.h"
#include "tables/occurrences.h"

namespace ostrevin {

std::size_t ReplaceAll(std::string& text, std::string_view search, std::string_view replacement,
                       std::string& scratch) {
  const std::size_t m = search.size();
  const std::size_t r = replacement.size();
  if (m == 0 || m > text.size()) return 0;

  if (r <= m) {
    // Shrinking or same length: compact in place, left to right. The write
    // position never passes the end of the occurrence just taken, and the
    // search reads only beyond it.
    char* data = text.data();
    const std::size_t size = text.size();
    std::size_t out = 0;
    std::size_t from = 0;
    const auto compact = [&](std::size_t p) {
      if (out != from) std::memmove(data + out, data + from, p - from);
      out += p - from;
      std::memcpy(data + out, replacement.data(), r);
      out += r;
      from = p + m;
    };
    const std::size_t count = ForEachOccurrence(data, size, search, compact).count;
    if (count == 0) return 0;
    if (out != from) std::memmove(data + out, data + from, size - from);
    out += size - from;
    text.resize(out);
    return count;
  }

  // Growing: count first, then build the result in the scratch buffer, whose
  // pages a table's earlier entries have already touched, and swap.
  const std::size_t count =
      ForEachOccurrence(text.data(), text.size(), search, [](std::size_t) {}).count;
  if (count == 0) return 0;
  const std::size_t new_size = text.size() + count * (r - m);
  // Too small: drop it first, so that growing it neither copies its stale
  // bytes nor holds a third buffer the size of the text.
  if (scratch.capacity() < new_size) std::string().swap(scratch);
  scratch.resize(new_size);
  char* out = scratch.data();
  std::size_t from = 0;
  ForEachOccurrence(text.data(), text.size(), search, [&](std::size_t p) {
    std::memcpy(out, text.data() + from, p - from);
    out += p - from;
    std::memcpy(out, replacement.data(), r);
    out += r;
    from = p + m;
  });
  std::memcpy(out, text.data() + from, text.size() - from);
  text.swap(scratch);
  return count;
}

std::size_t ReplaceAll(std::string& text, std::string_view search, std::string_view replacement) {
  std::string scratch;
  return ReplaceAll(text, search, replacement, scratch);
}

}  // namespace ostrevin
