// The matcher through its own interface: subject ranges that start inside a
// text, the minimum end, corrupted programs, the folded copy, and deep
// subjects. Results per construct are in commands.cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/tests/engine_test_support.h"

namespace ostrevin::regex {
namespace {

using testing::Compile;
using testing::ExpectGroup;
using testing::ExpectMatch;
using testing::ExpectNoMatch;
using testing::Match;

// The subject range may start after the beginning of the text: single-line
// "^" ignores the newline before it, "\b" sees the word byte before it.
TEST(MatcherTest, PreviousCharacter) {
  const std::string text = "a\nbc";
  struct Row {
    const char* pattern;
    const char* letters;
    std::size_t from;
    int result;
  };
  for (const Row& r : {Row{"^b", "", 2, 0}, Row{"^b", "m", 2, 1}, Row{"\\bc", "", 3, 0}}) {
    auto c = Compile(r.pattern, r.letters);
    EXPECT_EQ(Match(*c.record, text, r.from).result, r.result) << r.pattern << "/" << r.letters;
  }
}

// A lead byte that ends the range is a character of its own, also when the
// text goes on after the range.
TEST(MatcherTest, RangeEndsInsideACharacter) {
  auto c = Compile("a.", "k");
  const std::string text = "a\x82\xA0";  // a, HIRAGANA A
  char message[kMessageBufferSize];
  ASSERT_EQ(MatchPattern(c.record.get(), text.data(), text.data() + 2, text.data(), 0, message), 1);
  EXPECT_EQ(c.record->groupEnd[0], text.data() + 2);
}

// Minimum end offset: an attempt that can only match empty moves on.
TEST(MatcherTest, MinimumEnd) {
  auto c = Compile("x*");
  const std::string text = "ab";
  auto m = Match(*c.record, text, 0, 1);
  EXPECT_EQ(m.result, 1);
  EXPECT_EQ(m.groups[0], std::make_pair(1L, 1L));
  auto d = Compile("a*");
  auto n = Match(*d.record, std::string("aa"), 0, 1);
  EXPECT_EQ(n.groups[0], std::make_pair(0L, 2L));
}

// An empty range never matches, not even the empty pattern's program.
TEST(MatcherTest, EmptyRange) {
  auto c = Compile("x*");
  char message[kMessageBufferSize];
  const char* empty = "";
  EXPECT_EQ(MatchPattern(c.record.get(), empty, empty, empty, 0, message), 0);
  EXPECT_EQ(MatchPattern(nullptr, empty, empty + 1, empty, 0, message), 0);
  EXPECT_STREQ(message, "");
}

// A failed iteration of a complex repeat restores the repeat's last
// position with its count, also in a range that starts inside the text.
TEST(MatcherTest, FailedIterationRestoresLastPosition) {
  auto c = Compile(".(?:[a-c]?)*\\b", "i");
  auto m = Match(*c.record, std::string("AbAB\nbA_-"), 4);
  EXPECT_EQ(m.message, "");
  EXPECT_EQ(m.groups[0], std::make_pair(7L, 8L));
}

// A program that does not start with the magic byte is refused.
TEST(MatcherTest, CorruptedProgram) {
  auto c = Compile("abc");
  c.record->program[0] = 0;
  auto m = Match(*c.record, std::string("abc"));
  EXPECT_EQ(m.result, 0);
  EXPECT_EQ(m.message, "corrupted regexp program");
  auto d = Compile("a(b)");
  d.record->program[d.record->program.size() - 3] = 40;  // PROGRAM_END -> kind 40
  auto n = Match(*d.record, std::string("ab"));
  EXPECT_EQ(n.result, 0);
  EXPECT_EQ(n.message, "regexp memory corruption");
}

// The folded copy is made once per run and reused while the range moves on.
TEST(MatcherTest, FoldedCopyIsReusedWithinARun) {
  auto c = Compile("B", "i");
  std::string text = "aBcb";
  const char* base = text.c_str();
  char message[kMessageBufferSize];
  ASSERT_EQ(MatchPattern(c.record.get(), base, base + 4, base, 0, message), 1);
  const char* copy = c.record->subjectCopy.get();
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(MatchPattern(c.record.get(), base + 2, base + 4, base, 0, message), 1);
  EXPECT_EQ(c.record->subjectCopy.get(), copy);
  EXPECT_EQ(c.record->groupStart[0], base + 3);
  // A new run over other bytes at the same address folds afresh.
  text[1] = 'X';
  text[3] = 'x';
  EXPECT_EQ(MatchPattern(c.record.get(), base, base + 4, base, 0, message), 0);
  ReleaseRunCache(*c.record);
  EXPECT_EQ(c.record->subjectCopy, nullptr);
}

// Multi-megabyte single-line subjects: no recursion that grows with the
// subject; results or a clean failure message, never a crash.
class DeepSubjectTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kSize = 3 << 20;
};

TEST_F(DeepSubjectTest, DotStarLiteral) {
  std::string text(kSize, 'a');
  text += "xb";
  ExpectMatch(".*x", "", text, 0, static_cast<long>(kSize) + 1);
  ExpectMatch(".*x", "k", text, 0, static_cast<long>(kSize) + 1);
  ExpectNoMatch(".*y", "", text);
}

// Each would try every start and run over the rest of the line from it.
TEST_F(DeepSubjectTest, StartsThatCannotSucceedAreNotTried) {
  const std::string line(kSize, 'a');
  ExpectNoMatch(".*\\d", "", line);  // a leading «.*»: where the search begins
  ExpectNoMatch("(?s).+\\d", "", line);
  ExpectNoMatch("a.*z", "", line);        // a required literal missing
  ExpectNoMatch("a.*z", "", "z" + line);  // ... or only before every start
  ExpectNoMatch("a*x\\d", "", "x" + line);
  ExpectMatch("a*x\\d", "", "x" + line + "x1", 1, static_cast<long>(kSize) + 3);
}

TEST_F(DeepSubjectTest, NegatedClassRun) {
  std::string text(kSize, 'a');
  text += "<";
  ExpectMatch("[^<]*<", "", text, 0, static_cast<long>(kSize) + 1);
}

TEST_F(DeepSubjectTest, LiteralGroupRepeat) {
  std::string text = "x";
  while (text.size() < kSize) text += "ab";
  ExpectMatch("(?:ab)+", "", text, 1, static_cast<long>(text.size()));
  ExpectMatch("(?:ab)+?$", "", text, 1, static_cast<long>(text.size()));
}

// A repeat whose body always takes the same number of bytes keeps no choice
// point per iteration: it gives back one body at a time, and its group is
// the last iteration kept.
TEST_F(DeepSubjectTest, AlternationInsideRepeat) {
  std::string text;
  text.reserve(kSize + 1);
  while (text.size() < kSize) text += "ab";
  text += "c";
  const long size = static_cast<long>(text.size());
  auto c = Compile("(a|b)*c");
  auto m = Match(*c.record, text);
  ASSERT_EQ(m.result, 1) << m.message;
  EXPECT_EQ(m.groups[0], std::make_pair(0L, size));
  EXPECT_EQ(m.groups[1], std::make_pair(size - 2, size - 1));
  auto d = Compile("(a|b)*a");
  auto n = Match(*d.record, text);
  ASSERT_EQ(n.result, 1) << n.message;
  EXPECT_EQ(n.groups[0], std::make_pair(0L, size - 2));
  EXPECT_EQ(n.groups[1], std::make_pair(size - 4, size - 3));
}

// Nested repeats over a line of short runs: each position fails once (the
// failure memo), not once per way of splitting the runs before it.
TEST_F(DeepSubjectTest, NestedRepeatsOverRuns) {
  std::string text;
  while (text.size() < (std::size_t{32} << 10)) text += std::string(15, 'a') + "-";
  ExpectNoMatch("(a+)+$", "", text);
  const long size = static_cast<long>(text.size()) + 3;
  ExpectGroup("(a+)+$", "", text + "aaa", 1, size - 3, size);
}

// Backing off over a long run of lead-range bytes in Shift-JIS mode asks
// "is this a trail byte" at every step; the answers must not rescan the run.
TEST_F(DeepSubjectTest, ShiftJisBackOffOverLeadRun) {
  const std::string text = std::string(kSize, '\x81') + "\x81";
  ExpectNoMatch("^\\W*(?:y|z)", "k", text);
  ExpectMatch("^\\W*(?:y|\x81\x81)", "k", text, 0, static_cast<long>(text.size()) - 1);
}

TEST_F(DeepSubjectTest, BacktrackingWithoutAMatch) {
  std::string text;
  while (text.size() < 400000) text += "ab";
  text += "c";
  // "c" is there, but not after "d": every start position backtracks.
  auto c = Compile("(?:a|b)*cd");
  auto m = Match(*c.record, text.substr(0, 20000) + "c");
  EXPECT_EQ(m.result, 0);
  EXPECT_EQ(m.message, "");
}

}  // namespace
}  // namespace ostrevin::regex
