// Detection of the code of a text that is read in pieces, so that a file
// need not be held whole to be detected.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/kanji_code.h"

namespace ostrevin {

// Detects the code of a text handed over in pieces, in order, as
// DetectKanjiCode would on their concatenation. Pieces may be cut anywhere
// and may be empty. Each piece is read as it comes up to its last byte below
// 0x80 other than ESC (a line end, say), after which no character, sequence
// or escape goes on; the bytes after that byte are held until a later piece
// brings one, so a reader that cuts its pieces after line ends has nothing
// held, and one that cuts anywhere holds no more than the run of bytes of
// 0x80 or above around the cut.
//
// Unlike DetectKanjiCode, which knows the rest of the text, every piece is
// read by every reading: the UTF-8 tally cannot stop once too many bytes are
// invalid (more valid text may follow), and the EUC and Shift-JIS readings
// are taken even while the text is valid UTF-8 (a later piece may not be).
class KanjiCodeDetector {
 public:
  void Add(std::string_view piece);
  // The code of the text added so far; call it after the last piece (the
  // bytes still held are read then as the end of the text).
  [[nodiscard]] DetectedCode Result();

 private:
  // Reads a stretch of the text that begins where the text or an earlier
  // stretch ends, and ends after a byte that ends one, or at the text's end.
  void Read(std::string_view stretch);

  std::string held_;      // the bytes after the last stretch read
  bool started_ = false;  // a byte has been read: the BOM is behind
  bool bom_ = false;
  bool high_ = false;  // a byte of 0x80 or above has been read
  // The first decisive byte, kNone until one is found.
  DetectedCode decisive_ = DetectedCode::kNone;
  // The UTF-8 tally: bytes of 0x80 or above, those of valid sequences, and
  // whether a three- or four-byte one was among them.
  std::size_t utf8_high_ = 0;
  std::size_t utf8_valid_bytes_ = 0;
  bool utf8_long_ = false;
  std::size_t euc_misfits_ = 0;
  std::size_t euc_katakana_ = 0;
  std::size_t sjis_misfits_ = 0;
  std::size_t sjis_katakana_ = 0;
};

}  // namespace ostrevin
