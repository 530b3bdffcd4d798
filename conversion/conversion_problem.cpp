#include "conversion/conversion_problem.h"

#include <cstdio>

#include "conversion/messages.h"
#include "conversion/utf8_sequence.h"

namespace ostrevin {

namespace {

// "E3 81": the bytes in upper-case hex, separated by spaces.
std::string HexBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace

std::string ConversionProblemMessage(const ConversionProblem& problem) {
  const std::string line = std::to_string(static_cast<unsigned long>(problem.line));
  if (problem.kind == ProblemKind::kInvalidBytes) {
    return messages::Format(messages::Format(messages::kInvalidBytes, "%lu", line), "%s",
                            HexBytes(problem.bytes));
  }
  char code[16];
  std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(problem.code_point));
  return messages::Format(
      messages::Format(messages::Format(messages::kUnmappableCharacter, "%lu", line), "%04X", code),
      "%s", utf8::Encode(problem.code_point));
}

std::size_t LineNumberAt(std::string_view text, std::size_t position) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < position && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
    } else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
      ++line;  // a lone CR; the CR of CR LF is counted at its LF
    }
  }
  return line;
}

}  // namespace ostrevin
