// The output side shared by the converters into Shift-JIS: a buffer apart
// from the source, so that a refused text stays as it was, and the handling
// of what cannot be converted (a problem to report, or 〓).
//
// Every output offers the same operations, which the converters (templates
// over the output) call: Reserve() before each step, Byte, Pair, Code,
// Word8 (up to eight source bytes copied as they are), Bytes16 (up to sixteen
// converted bytes) and CannotConvert; and ReserveBlock() before a Block64 (up
// to 64 converted bytes, see block64.h and utf8_block64.h). One step writes at
// most kMaxStepBytes, and may store up to that many bytes past what it writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "conversion/conversion_problem.h"

namespace ostrevin {

// The most bytes one step of a converter writes: sixteen, and eight source
// bytes that are all line ends become sixteen with CR LF.
inline constexpr std::size_t kMaxStepBytes = 16;

// What cannot be converted: under kSubstitute it is counted (the output writes
// its 〓); under kRefuse the first one is kept and the conversion stops.
class UnconvertibleLog {
 public:
  UnconvertibleLog(std::string_view source, Unconvertible mode) : source_(source), mode_(mode) {}

  // True when a 〓 is to be written for the `length` bytes at `at`; false
  // when the problem was kept and the converter must stop.
  [[nodiscard]] bool Substitute(std::size_t at, std::size_t length, ProblemKind kind,
                                char32_t code_point) {
    if (mode_ == Unconvertible::kSubstitute) {
      ++result_.substituted;
      return true;
    }
    result_.problem = ConversionProblem{kind, LineNumberAt(source_, at), code_point,
                                        std::string(source_.substr(at, length))};
    return false;
  }

  // The text that positions are taken in from now on: the next piece of a
  // text converted piece by piece.
  void Rebase(std::string_view source) { source_ = source; }

  [[nodiscard]] bool refused() const { return result_.problem.has_value(); }
  [[nodiscard]] const CodeConversion& result() const { return result_; }

 private:
  std::string_view source_;
  Unconvertible mode_;
  CodeConversion result_;
};

// What every output shares: the write position, double-byte codes and what
// cannot be converted. `Output` derives from it and writes single bytes.
template <class Output>
class ShiftJisWriter {
 public:
  void Pair(std::uint8_t lead, std::uint8_t trail) {
    end_[0] = static_cast<char>(lead);
    end_[1] = static_cast<char>(trail);
    end_ += 2;
  }
  // A code of code page 932: one byte below 0x100, else lead * 256 + trail.
  void Code(std::uint16_t code) {
    if (code < 0x100) {
      static_cast<Output*>(this)->Byte(static_cast<std::uint8_t>(code));
    } else {
      Pair(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code));
    }
  }
  // The first `count` of sixteen converted bytes of double-byte characters
  // (all sixteen are stored: the next step writes over the rest).
  void Bytes16(const std::uint8_t* bytes, std::size_t count) {
    std::memcpy(end_, bytes, 16);
    end_ += count;
  }

  // The `length` source bytes at `at` cannot be converted. Returns true when
  // the converter goes on after them (a 〓 was written), false when it must
  // stop (the problem is kept).
  [[nodiscard]] bool CannotConvert(std::size_t at, std::size_t length, ProblemKind kind,
                                   char32_t code_point = 0) {
    if (!log_.Substitute(at, length, kind, code_point)) return false;
    Pair(0x81, 0xAC);  // 〓
    return true;
  }

 protected:
  ShiftJisWriter(std::string_view source, Unconvertible mode) : log_(source, mode) {}

  UnconvertibleLog log_;
  char* end_ = nullptr;
};

// The whole converted text in one buffer, which replaces the source at the
// end unless the conversion was refused.
class ShiftJisOutput : public ShiftJisWriter<ShiftJisOutput> {
 public:
  // Refusing, no converter writes more bytes than it reads; a 〓 (two bytes)
  // may stand for a single source byte, so substituting may double the text.
  // The slack lets a step store a whole word near the end.
  ShiftJisOutput(std::string_view source, Unconvertible mode)
      : ShiftJisWriter(source, mode),
        buffer_((mode == Unconvertible::kSubstitute ? 2 * source.size() : source.size()) +
                    kMaxStepBytes,
                '\0') {
    end_ = buffer_.data();
  }

  // Converts the whole `text` with `into` (EucInto<ShiftJisOutput> and its
  // siblings) and puts the result in its place, unless refused.
  template <class Into>
  [[nodiscard]] static CodeConversion Convert(std::string& text, Unconvertible mode, Into into) {
    ShiftJisOutput out(text, mode);
    into(std::string_view(text), out);
    return out.Finish(text);
  }

  void Reserve() {}
  // A 64-byte block always fits: the text never grows faster than the source
  // is read, and the block lies inside the source.
  [[nodiscard]] bool ReserveBlock() { return true; }
  void Byte(std::uint8_t b) { *end_++ = static_cast<char>(b); }
  // The first `count` of 64 converted bytes (a block of block64.h or
  // utf8_block64.h).
  void Block64(const std::uint8_t* converted, unsigned count) {
    std::memcpy(end_, converted, 64);
    end_ += count;
  }
  // The first `count` of eight source bytes, copied as they are.
  void Word8(const std::uint8_t* bytes, std::size_t count = 8) {
    std::memcpy(end_, bytes, 8);
    end_ += count;
  }

 private:
  [[nodiscard]] CodeConversion Finish(std::string& text) {
    if (!log_.refused()) {
      buffer_.resize(static_cast<std::size_t>(end_ - buffer_.data()));
      text.swap(buffer_);
    }
    return log_.result();
  }

  std::string buffer_;
};

}  // namespace ostrevin
