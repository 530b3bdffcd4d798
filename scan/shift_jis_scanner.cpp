// ShiftJisScanner: the byte classification of the scan, one byte at a time.
#include <cstdint>

#include "core/shift_jis.h"
#include "scan/scanner.h"

namespace ostrevin {

void ShiftJisScanner::Feed(std::string_view bytes, std::string& found) {
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (lead_ != 0) {
      // The byte belongs to the pending lead byte, valid trail or not.
      if (sjis::IsTrailByte(b)) {
        const unsigned code = lead_ * 256u + b;
        if ((flags_.special && code >= 0x8540 && code <= 0x889E) ||
            (flags_.extended && code >= 0xEB40 && code <= 0xEFFC) ||
            (flags_.user_defined && code >= 0xF040)) {
          found += static_cast<char>(lead_);
          found += c;
        }
      }
      lead_ = 0;
      continue;
    }
    if (sjis::IsLeadByte(b)) {
      lead_ = b;
    } else if (flags_.half_width_kana && sjis::IsHalfWidthKatakana(b)) {
      found += c;
    }
  }
}

}  // namespace ostrevin
