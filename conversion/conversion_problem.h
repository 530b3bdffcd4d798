// What keeps a text from being converted to Shift-JIS exactly, how it is told
// to a person, and what a converter does about it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ostrevin {

enum class ProblemKind {
  kUnmappable,    // a character that Shift-JIS (code page 932) cannot hold
  kInvalidBytes,  // bytes that are no character of the source's code
};

struct ConversionProblem {
  ProblemKind kind = ProblemKind::kInvalidBytes;
  std::size_t line = 1;     // the source line it stands on, from 1
  char32_t code_point = 0;  // kUnmappable: the character
  std::string bytes;        // the source bytes of the character or sequence

  bool operator==(const ConversionProblem&) const = default;
};

// The message a person is shown for `problem` (UTF-8):
// "変換元ファイルの 3 行目に、シフトJISで表せない文字 U+20AC (€) があるため、変換できません。"
// "変換元ファイルの 1 行目に、変換できないバイト列 (E3 81) があるため、変換できません。"
[[nodiscard]] std::string ConversionProblemMessage(const ConversionProblem& problem);

// What a converter does with what it cannot convert.
enum class Unconvertible {
  kRefuse,      // stop at the first problem and leave the text as it was
  kSubstitute,  // write one 〓 (0x81AC) for each such character or sequence
};

struct CodeConversion {
  // kRefuse: the first problem, the text unchanged; empty when converted.
  std::optional<ConversionProblem> problem;
  // kSubstitute: how many 〓 were written.
  std::size_t substituted = 0;

  bool operator==(const CodeConversion&) const = default;
};

// The line that `position` of `text` stands on, from 1. Line ends are counted
// as the line-end stage sees them: CR LF, a lone CR and a lone LF are one each.
[[nodiscard]] std::size_t LineNumberAt(std::string_view text, std::size_t position);

}  // namespace ostrevin
