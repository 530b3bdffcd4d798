// Detection of the code of a text that is read in pieces, so that a file
// need not be held whole to be detected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
// Made without a length, the detector takes every reading of every piece:
// the UTF-8 tally cannot stop once too many bytes are invalid (more valid
// text may follow), and the EUC and Shift-JIS readings are taken even while
// the text is valid UTF-8 (a later piece may not be). It never asks for the
// text again.
//
// Made with the text's length, it reads only what it needs, and may ask for
// the text again, once:
//  - While the text is valid UTF-8 and has shown a three- or four-byte
//    sequence, only its validity is checked: should it end so, it is UTF-8.
//    Should a later piece not be valid UTF-8, the EUC and Shift-JIS readings
//    of the earlier pieces are missing: Add or Result asks for the text
//    again, and the detector starts over taking every reading.
//  - The UTF-8 tally stops once the rest of the text cannot bring it to 90%.
//    That needs the length, so the result holds only for a text of that
//    length: a caller that took a file's size before reading it must
//    discard the result when the file changed meanwhile.
class KanjiCodeDetector {
 public:
  KanjiCodeDetector() = default;
  explicit KanjiCodeDetector(std::uint64_t length) : length_(length), skips_(true) {}

  // Reads the next piece. False when the detector needs the text again: it
  // has started over, and is to be given every piece again from the first.
  [[nodiscard]] bool Add(std::string_view piece);
  // The code of the text added so far; call it after the last piece (the
  // bytes still held are read then as the end of the text). None when the
  // detector needs the text again, as for Add.
  [[nodiscard]] std::optional<DetectedCode> Result();

 private:
  // Reads a stretch of the text that begins where the text or an earlier
  // stretch ends, and ends after a byte that ends one, or at the text's end.
  // False when it started over.
  bool Read(std::string_view stretch);
  // Forgets what was read, keeping the length, to take every reading of the
  // text given again.
  void StartOver();
  // The number of bytes of the text after those read, if known.
  [[nodiscard]] std::uint64_t Rest() const;

  std::optional<std::uint64_t> length_;
  // Skips the legacy readings while the text is valid UTF-8 with a long
  // sequence.
  bool skips_ = false;
  std::uint64_t read_ = 0;  // the bytes of the stretches read
  std::string held_;        // the bytes after the last stretch read
  bool started_ = false;    // a byte has been read: the BOM is behind
  bool bom_ = false;
  bool high_ = false;  // a byte of 0x80 or above has been read
  // The first decisive byte, kNone until one is found.
  DetectedCode decisive_ = DetectedCode::kNone;
  // Every stretch read so far is valid UTF-8.
  bool utf8_throughout_ = true;
  // The legacy readings (and the count of high bytes) of a stretch were
  // skipped.
  bool skipped_ = false;
  // The UTF-8 tally: bytes of 0x80 or above, those of valid sequences, and
  // whether a three- or four-byte one was among them; or that the rest of
  // the text cannot make it pass.
  std::size_t utf8_high_ = 0;
  std::size_t utf8_valid_bytes_ = 0;
  bool utf8_long_ = false;
  bool utf8_failed_ = false;
  std::size_t euc_misfits_ = 0;
  std::size_t euc_katakana_ = 0;
  std::size_t sjis_misfits_ = 0;
  std::size_t sjis_katakana_ = 0;
};

}  // namespace ostrevin
