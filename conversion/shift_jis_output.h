// The output side shared by the converters into Shift-JIS: a buffer apart
// from the source, so that a refused text stays as it was, and the handling
// of what cannot be converted (a problem to report, or 〓).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/conversion_problem.h"

namespace ostrevin {

class ShiftJisOutput {
 public:
  // Refusing, no converter writes more bytes than it reads; a 〓 (two bytes)
  // may stand for a single source byte, so substituting may double the text.
  ShiftJisOutput(std::string_view source, Unconvertible mode)
      : source_(source),
        mode_(mode),
        buffer_(mode == Unconvertible::kSubstitute ? 2 * source.size() : source.size(), '\0'),
        end_(buffer_.data()) {}

  void Byte(std::uint8_t b) { *end_++ = static_cast<char>(b); }
  void Pair(std::uint8_t lead, std::uint8_t trail) {
    end_[0] = static_cast<char>(lead);
    end_[1] = static_cast<char>(trail);
    end_ += 2;
  }
  // A code of code page 932: one byte below 0x100, else lead * 256 + trail.
  void Code(std::uint16_t code) {
    if (code < 0x100) {
      Byte(static_cast<std::uint8_t>(code));
    } else {
      Pair(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code));
    }
  }
  // Copies `length` bytes of the source from `at` unchanged.
  void Copy(std::size_t at, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) end_[i] = source_[at + i];
    end_ += length;
  }

  // The `length` source bytes at `at` cannot be converted. Returns true when
  // the converter goes on after them (a 〓 was written), false when it must
  // stop (the problem is kept for Finish).
  [[nodiscard]] bool CannotConvert(std::size_t at, std::size_t length, ProblemKind kind,
                                   char32_t code_point = 0) {
    if (mode_ == Unconvertible::kSubstitute) {
      Pair(0x81, 0xAC);  // 〓
      ++result_.substituted;
      return true;
    }
    result_.problem = ConversionProblem{kind, LineNumberAt(source_, at), code_point,
                                        std::string(source_.substr(at, length))};
    return false;
  }

  // Puts the output in place of `text` (the source), unless refused.
  [[nodiscard]] CodeConversion Finish(std::string& text) {
    if (!result_.problem) {
      buffer_.resize(static_cast<std::size_t>(end_ - buffer_.data()));
      text.swap(buffer_);
    }
    return result_;
  }

 private:
  std::string_view source_;
  Unconvertible mode_;
  std::string buffer_;
  char* end_;
  CodeConversion result_;
};

}  // namespace ostrevin
