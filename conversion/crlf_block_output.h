// An output for the converters into Shift-JIS (see shift_jis_output.h) that
// writes every line end as CR LF while it converts, and hands the text on in
// blocks of a fixed size (no lead or trail byte is a line end, so Pair and
// Bytes16 need no look): the code conversion, the line-end stage and the
// CR LF of the written file in one pass, with no buffer of the text's size.
#pragma once

#include <endian.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string_view>

#include "conversion/block64.h"
#include "conversion/shift_jis_output.h"

namespace ostrevin {

// What every line end becomes: CR LF for the file, or LF for the stages
// that come before the file (as NormalizeLineEnds leaves them).
enum class LineEndOutput { kCrLf, kLf };

class CrLfBlockOutput : public ShiftJisWriter<CrLfBlockOutput> {
 public:
  // Takes each filled block (and the last, partly filled one at Finish).
  using Sink = std::function<void(std::string_view block)>;

  // `block` (more than 2 * kMaxStepBytes bytes) holds the text between
  // hand-overs. StartPiece names the source before each converter call.
  CrLfBlockOutput(Unconvertible mode, std::span<char> block, Sink sink,
                  LineEndOutput line_ends = LineEndOutput::kCrLf)
      : ShiftJisWriter({}, mode),
        line_end_width_(line_ends == LineEndOutput::kCrLf ? 2 : 1),
        block_(block.data()),
        limit_(block.data() + block.size() - kMaxStepBytes),
        block_end_(block.data() + block.size()),
        sink_(std::move(sink)) {
    end_ = block_;
  }

  // The source of the next converter call: what cannot be converted is
  // told by its place in `piece`. The state of the line ends carries over.
  void StartPiece(std::string_view piece) { log_.Rebase(piece); }

  // Hands the block on when the next step might not fit.
  void Reserve() {
    if (end_ > limit_) HandOver();
  }
  // Hands the block on unless a Block64 fits; false when it cannot fit even
  // in an empty block.
  [[nodiscard]] bool ReserveBlock() {
    if (block_end_ - end_ < kBlockRoom) HandOver();
    return block_end_ - end_ >= kBlockRoom;
  }
  // The first `count` of 64 converted bytes, each line end as CR LF (the
  // bytes after them may be anything). `converted` is 128 bytes long: each
  // piece between line ends is copied as a whole 64 bytes, and the next
  // piece writes over the rest.
  void Block64(const std::uint8_t* converted, unsigned count) {
    std::uint64_t ends = block64::LineEnds(converted);
    if (count < 64) ends &= (std::uint64_t{1} << count) - 1;
    unsigned from = 0;
    for (; ends != 0; ends &= ends - 1) {
      const auto at = static_cast<unsigned>(__builtin_ctzll(ends));
      std::memcpy(end_, converted + from, 64);
      end_ += at - from;
      LineEnd(converted[at]);
      from = at + 1;
    }
    std::memcpy(end_, converted + from, 64);
    end_ += count - from;
  }
  void Byte(std::uint8_t b) {
    if (b == '\n' || b == '\r') {
      LineEnd(b);
    } else {
      *end_++ = static_cast<char>(b);
    }
  }
  // The first `count` of eight source bytes, each line end as CR LF.
  void Word8(const std::uint8_t* bytes, std::size_t count = 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    // The first byte of a little-endian word is its lowest.
    const std::uint64_t first =
        count == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << 8 * count) - 1;
    if (!MayHoldLineEnd((le64toh(word) & first) | (~first & kSpaces))) {
      std::memcpy(end_, &word, 8);
      end_ += count;
      return;
    }
    for (std::size_t i = 0; i < count; ++i) Byte(bytes[i]);
  }

  // Hands on what is left unless the conversion was refused (the text is of
  // no use then), and returns the converter's result.
  [[nodiscard]] const CodeConversion& Finish() {
    if (!log_.refused()) HandOver();
    return log_.result();
  }

  [[nodiscard]] bool refused() const { return log_.refused(); }

  // The line ends that were not CR LF (lone CR, lone LF), as the line-end
  // stage counts them.
  [[nodiscard]] std::size_t not_crlf() const { return not_crlf_; }

 private:
  static constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
  // What a Block64 may store: 64 bytes become at most 128 with CR LF, and
  // the last piece is stored as 64 bytes.
  static constexpr std::ptrdiff_t kBlockRoom = 192;

  // True unless none of the eight bytes is LF or CR (it may say true for a
  // word without them: the bytes are then looked at one by one).
  static bool MayHoldLineEnd(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t lf = word ^ (kOnes * '\n');
    const std::uint64_t cr = word ^ (kOnes * '\r');
    return (((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHigh;
  }

  // CR LF, a lone CR and a lone LF each become CR LF (or LF). The LF of a
  // CR LF is known by where it would go: right after the line end that its
  // CR wrote, whatever source bytes lay between them (a JIS escape sequence
  // writes nothing).
  void LineEnd(std::uint8_t b) {
    const std::uint64_t position = Position();
    if (b == '\n' && position == after_cr_) {
      --not_crlf_;           // the CR was counted as a lone CR
      after_cr_ = kNowhere;  // a second LF is a line end of its own
      return;
    }
    // LF alone is written as LF LF, of which the second is written over.
    end_[0] = line_end_width_ == 2 ? '\r' : '\n';
    end_[1] = '\n';
    end_ += line_end_width_;
    ++not_crlf_;
    if (b == '\r') after_cr_ = position + line_end_width_;
  }

  [[nodiscard]] std::uint64_t Position() const {
    return handed_over_ + static_cast<std::uint64_t>(end_ - block_);
  }

  void HandOver() {
    const auto size = static_cast<std::size_t>(end_ - block_);
    if (size == 0) return;
    sink_(std::string_view(block_, size));
    handed_over_ += size;
    end_ = block_;
  }

  unsigned line_end_width_;
  char* block_;
  char* limit_;
  char* block_end_;
  Sink sink_;
  std::uint64_t handed_over_ = 0;
  // Where the output stood right after the CR LF of the last CR; no LF can
  // be there at the start.
  static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
  std::uint64_t after_cr_ = kNowhere;
  std::size_t not_crlf_ = 0;
};

}  // namespace ostrevin
