#include "conversion/line_ends.h"

#include <algorithm>
#include <cstring>

namespace ostrevin {

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
    count += static_cast<std::size_t>(std::count(data + r, data + run_end, '\n'));
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
