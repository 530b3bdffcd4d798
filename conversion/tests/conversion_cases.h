// Cases for the converters into Shift-JIS: what a text becomes, refusing and
// substituting, from one table.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/conversion_problem.h"
#include "conversion/utf8_sequence.h"
#include "core/testing/hex.h"

namespace ostrevin::testing {

inline const std::string kMark = "\x81\xAC";  // 〓

struct ConversionCase {
  const char* name;
  std::string input;
  std::string output;  // converted; with `substituted` 〓 when substituting
  std::size_t substituted;
  // Refusing: the first problem, or none.
  std::optional<ConversionProblem> problem;
};

inline ConversionProblem Invalid(std::size_t line, std::string bytes) {
  return {ProblemKind::kInvalidBytes, line, 0, std::move(bytes)};
}
inline ConversionProblem Unmappable(std::size_t line, char32_t c) {
  return {ProblemKind::kUnmappable, line, c, utf8::Encode(c)};
}
// For a case whose character is written in another code than UTF-8.
inline ConversionProblem Unmappable(std::size_t line, char32_t c, std::string bytes) {
  return {ProblemKind::kUnmappable, line, c, std::move(bytes)};
}

// Refusing, a case gives its problem and leaves the text as it was, or
// converts it to `output`; substituting, it always gives `output`.
inline void ExpectConversions(CodeConversion (*convert)(std::string&, Unconvertible),
                              const std::vector<ConversionCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.input;
    const CodeConversion refused = convert(text, Unconvertible::kRefuse);
    EXPECT_EQ(refused.problem, c.problem);
    EXPECT_EQ(Hex(text), Hex(c.problem ? c.input : c.output));
    text = c.input;
    const CodeConversion substituted = convert(text, Unconvertible::kSubstitute);
    EXPECT_FALSE(substituted.problem);
    EXPECT_EQ(substituted.substituted, c.substituted);
    EXPECT_EQ(Hex(text), Hex(c.output));
  }
}

}  // namespace ostrevin::testing
