// The matcher's work budget: patterns that backtrack exponentially end with
// "regexp too complex for text" and the entry points' failure values, while
// linear and moderately quadratic work on large texts stays under it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "regex/pattern_engine.h"

namespace ostrevin::regex {
namespace {

constexpr const char* kTooComplex = "regexp too complex for text";

std::string Repeat(const std::string& unit, std::size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

// --- Exponential backtracking ends with a message ----------------------------
// Each subject almost matches, so that every way of splitting it among the
// nested repeats is tried: 2^28 and more backtracking steps, far past the budget.
// The back-reference in each pattern makes a failure depend on the captures,
// so the failure memo, which cuts such nests short elsewhere, stays out.

TEST(StepLimitTest, ExponentialBacktrackingEndsWithTheMessage) {
  struct BlowUp {
    const char* command;
    std::string subject;
    std::int32_t expected;  // -1 for a match command, 0 for a substitution
    bool again = false;     // then the record runs again: it must be whole
  };
  const BlowUp cases[] = {
      {"s/(\\w+)*\\1d$/x/g", std::string(29, 'a') + "-d", 0},
      // The folded copy ("i") and Shift-JIS stepping ("k") take the same road.
      {"m/(A+?)+\\1$/ik", std::string(28, 'a') + "b", -1, true},
      // Alternatives that overlap and a group inside a lookahead.
      {"m/^(a|aa)+\\1$/", std::string(60, 'a') + "b", -1},
      {"m/(?=(a*)*\\1b)/", std::string(40, 'a'), -1},
      // The blow-up in a line of a longer text: the budget grows with the
      // text, yet stays far below 2^40 steps.
      {"s/^(\\w+)*\\1d$/x/mg",
       Repeat("word line\n", 20) + std::string(40, 'a') + "-d\n" + Repeat("word line\n", 20), 0},
  };
  for (const BlowUp& c : cases) {
    SCOPED_TRACE(c.command);
    PatternSlot slot;
    const PatternResult result = slot.Run(c.command, c.subject);
    EXPECT_EQ(result.count, c.expected);
    EXPECT_EQ(result.message, kTooComplex);
    // A failed substitution leaves no result text behind.
    EXPECT_TRUE(result.text.empty());
    if (!c.again) continue;
    EXPECT_EQ(slot.Run(c.command, "xyz").count, 0);
    const PatternResult found = slot.Run(c.command, "xaaa");
    EXPECT_EQ(found.count, 1);
    EXPECT_EQ(found.message, "");
    ASSERT_TRUE(slot.Group(0).has_value());
    EXPECT_EQ(slot.Group(0)->begin, 1u);
    EXPECT_EQ(slot.Group(0)->end, 4u);
  }
}

// Each call has its own budget: a substitution whose every match costs many
// steps is not cut short by the work of the matches before it.
TEST(StepLimitTest, BudgetIsPerSearchNotPerRun) {
  // From each "a" of a line the repeats split the run of "a" every way before
  // they fail at "-"; the match is the "d" alone. Two hundred such lines
  // together take more steps than one search over their text may. The
  // alternative with the back-reference never matches; it keeps the failure
  // memo out.
  const std::string text = Repeat(std::string(16, 'a') + "-d\n", 200);
  PatternSlot slot;
  const PatternResult result = slot.Run("s/(a+)*d$|\\1x/x/mg", text);
  EXPECT_EQ(result.message, "");
  EXPECT_EQ(result.count, 200);
  EXPECT_EQ(std::string(result.text), Repeat(std::string(16, 'a') + "-x\n", 200));
}

// --- Large workloads stay under the budget -----------------------------------

TEST(StepLimitTest, LargeWorkloadsComplete) {
  // Linear: an alternation frame per character, 1 MiB in all, every byte
  // removed.
  const std::size_t blocks = (std::size_t{1} << 20) / 101;
  PatternSlot slot;
  const PatternResult linear = slot.Run("s/(a|b)*c//g", Repeat(Repeat("ab", 50) + "c", blocks));
  EXPECT_EQ(linear.message, "");
  EXPECT_EQ(linear.count, static_cast<std::int32_t>(blocks));
  EXPECT_TRUE(linear.text.empty());
  // Quadratic within each line: from every start «[^\n]*» runs to the end of
  // its 3000-byte line and backs off over all of it, about 1500 steps per
  // byte, four fifths of the base budget over 8 lines.
  const PatternResult quadratic =
      slot.Run("m/[^\\n]*\\d/", Repeat(std::string(2999, 'x') + "\n", 8));
  EXPECT_EQ(quadratic.message, "");
  EXPECT_EQ(quadratic.count, 0);
}

// The bytes a repeat runs over, and the positions it backs over without a
// try, count as work: here every start runs «a*» to the end of the text and
// backs off looking for "x" without a backtracking step, work quadratic in
// the text that once ran for minutes and then reported no match. (Like the
// cases above it spends the whole budget, some seconds under the sanitizers.)
TEST(StepLimitTest, RepeatRunsCount) {
  PatternSlot slot;
  std::string text = "x";
  text.append(std::size_t{1} << 16, 'a');
  const PatternResult result = slot.Run("m/(?:a*x\\d|q)/", text);
  EXPECT_EQ(result.message, kTooComplex);
}

}  // namespace
}  // namespace ostrevin::regex
