// Matcher results per construct, in byte and Shift-JIS mode, with case
// folding, captured groups, the start-position search and deep subjects.
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
using testing::RunCases;

// Shift-JIS samples.
const std::string kA = "\x82\xA0";   // あ
const std::string kI = "\x82\xA2";   // い
const std::string kSo = "\x83\x5C";  // ソ (trail byte is a backslash)

// Plain atoms, repeats, groups, "^"/"$" and "i" on ASCII subjects are
// compared with perl in perl_differential_test; these tables hold what the
// generated cases leave out.

// Anchors with inline modifiers, "^" inside an alternative, \A and \G.
TEST(MatcherTest, Anchors) {
  RunCases({
      {"^b", "", "a\nb", -1, 0},
      {"(?m)^b", "", "a\nb", 2, 3},  // inline (?m) reaches the matcher
      {"x|^b", "", "a\nb", 2, 3},    // not anchored: LINE_START tested everywhere
      {"a$", "", "xa\n", 1, 2},
      {"(?m)a$", "", "xa\nb", 1, 2},
      {"\\Aab", "", "ab", 0, 2},
      {"\\Gab", "", "ab", 0, 2},
      {"\\Gb", "", "ab", -1, 0},
      {"x|\\Gb", "", "ab", -1, 0},  // not anchored: SEARCH_START tested at every start
      {"^$", "", "\n", 0, 0},
  });
}

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

// Back-references, and groups that did not take part.
TEST(MatcherTest, GroupsAndBackReferences) {
  ExpectGroup("(a)|b", "", "b", 1, -1, -1);
  ExpectGroup("(a)(?:x|(b))", "", "ab", 2, 1, 2);
  ExpectMatch("(a+)b\\1", "", "xaabaa", 1, 6);
  ExpectNoMatch("(a)b\\1", "", "abc");
  ExpectMatch("(?:a|ab)*c", "", "abac", 0, 4);
}

// Case folding: the pattern is folded at compile time, the text per run;
// positions are reported in the caller's text.
TEST(MatcherTest, IgnoreCase) {
  auto c = Compile("(B+)", "i");
  const std::string text = "aBbB!";
  auto m = Match(*c.record, text);
  ASSERT_EQ(m.result, 1);
  EXPECT_EQ(m.groups[1], std::make_pair(1L, 4L));
  EXPECT_EQ(std::string(c.record->groupStart[1], c.record->groupEnd[1]), "BbB");
}

// Shift-JIS mode: characters are kept whole, no match starts on a trail byte.
TEST(MatcherTest, ShiftJisMode) {
  RunCases({
      {".", "k", kA, 0, 2},
      {"\xA0", "k", kA, -1, 0},         // 0xA0 is the trail byte of あ
      {"\xA0", "", kA, 1, 2},           // byte mode matches it
      {"\\\\", "k", kSo + "\\", 2, 3},  // the backslash after ソ, not its trail byte
      {"[\x82\xA2]", "k", kA + kI, 2, 4},
      {"\x82\xA0*b", "k", kA + kA + "b", 0, 5},
      {"..bc", "k", kA + kI + "bc", 0, 6},  // mended: the must offset counts bytes of 1-char nodes
      {"\\D{2}", "k", kA + kI, 0, 4},       // mended: counts characters
      {"\\W+?b", "k", kA + "b", 0, 3},
      {"\\S{2}", "k", kA + "x", 0, 3},
      {"a", "k",
       "\x82"
       "ab",
       -1, 0},                            // "a" is the trail byte of 0x82 0x61
      {"[\x82\xA0]", "", "x\xA0", 1, 2},  // without "k" the class holds two single bytes
      // A required literal after an odd run of lead-range bytes: a byte
      // position without "k", a trail byte with it.
      {"a*###", "", "\x86###", 1, 4},
      {"a*###", "k", "\x86###", -1, 0},
      {"a*###", "k", "\x86\x86###", 2, 5},
      {"x.*###$", "", "x\x86###", 0, 5},
      {"x.*###$", "k", "x\x86###", -1, 0},
      // "." takes a double-byte character whole: its repeats back off over
      // whole iterations, not over a width counted in bytes.
      {"(?:.a)*a", "k", kA + "a" + kI + "a", 2, 3},
      {"(?:.a)*b", "k", kA + "a" + kI + "ab", 0, 7},
      // The search for a required literal may begin inside a character
      // (one byte after the match start here): it must not take the trail
      // byte there for a lead byte and miss the literal after it.
      {".\\\\", "k", "\x81\x81\\", 0, 3},
  });
}

// The start position search: literal, class, runs, anchored multi-line.
TEST(MatcherTest, StartPositions) {
  RunCases({
      {"x+y", "", "xxxzxxy", 4, 7},
      {"\\d+x", "", "12a34x", 3, 6},
      {"[ab]c", "", "aabac", 3, 5},
      {"^ab", "m", "xx\nab", 3, 5},
      {"^ab", "m", "ab", 0, 2},
      {"\\bx", "", "ax x", 3, 4},
      {"\\Bx", "", "x ax", 3, 4},
      {"ab.cde", "", "abxcdabycde", 5, 11},
      {"a.bcd$", "", "a.bcdxa-bcd\n", 6, 11},
      {"(x+)\\1y", "", "xxxxy", 0, 5},
  });
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

// Results the engine mends where the design would misbehave.
TEST(MatcherTest, FormerFaults) {
  // A back-reference to a group the pattern does not have never matches.
  ExpectNoMatch("a\\5", "", "aa");
  ExpectNoMatch("(a)\\2", "", "aa");
  // An empty range never matches, not even the empty pattern's program.
  auto c = Compile("x*");
  char message[kMessageBufferSize];
  const char* empty = "";
  EXPECT_EQ(MatchPattern(c.record.get(), empty, empty, empty, 0, message), 0);
  EXPECT_EQ(MatchPattern(nullptr, empty, empty + 1, empty, 0, message), 0);
  EXPECT_STREQ(message, "");
}

// A failed iteration of a complex repeat restores the repeat's last
// position with its count; otherwise a later iteration at that position is
// taken for an empty one (a wrong match) or iterations never end.
TEST(MatcherTest, FailedIterationRestoresLastPosition) {
  ExpectNoMatch("(?:b|b){2}", "i", "caB1-A1");
  ExpectMatch("(?:b|xb){2}", "", "bxbb", 0, 3);
  auto c = Compile(".(?:[a-c]?)*\\b", "i");
  auto m = Match(*c.record, std::string("AbAB\nbA_-"), 4);
  EXPECT_EQ(m.message, "");
  EXPECT_EQ(m.groups[0], std::make_pair(7L, 8L));
  ExpectMatch("(?:a|ab)*?c", "", "ababc", 0, 5);
}

// A failed iteration, or a failed attempt at a group that matched in an
// earlier iteration, gives back the captures it changed: a group reports the
// last match it really made (once a group could end before its start, or
// pair a failed start with an earlier end).
TEST(MatcherTest, FailedAttemptsRestoreCaptures) {
  struct Row {
    const char* pattern;
    const char* subject;
    int group;
    long begin, end;
  };
  for (const Row& r : std::vector<Row>{
           {"(\\w*)+?1", "1", 1, 0, 0},
           {"(\\w*)+?1", "ab1", 1, 0, 2},
           {"(\\w*){2,}1", "1", 1, 0, 0},
           {"(\\w*){2,}?1", "x1", 1, 1, 1},
           {"(a|ab)*?c", "abac", 1, 2, 3},
           {"(?:(a)|b)*c", "abc", 1, 0, 1},
           {"((a)|b)+c", "abc", 2, 0, 1},
           {"((.).|A{0,0}){2,}", "Aa\xB1\n", 2, 0, 1},
       }) {
    ExpectGroup(r.pattern, "", r.subject, r.group, r.begin, r.end);
  }
}

// An empty iteration ends a complex repeat only once its minimum is reached.
TEST(MatcherTest, EmptyIterationBeforeMinimum) {
  ExpectMatch("\\b(?:\\b\\S?){2}", "", "_bc-ccaa-b", 0, 1);
  ExpectMatch("\\B((?=[abc]).*){2,}$", "m", "-b1 Ab", 5, 6);
  ExpectMatch(".(\\B.?|[_\\s]*?\\b(a{0,}?[\\d ])){2,}?", "i", "bc-cb", 0, 2);
  ExpectMatch("(a*)*b", "", "aab", 0, 3);
  ExpectMatch("(?:a?){3}x", "", "ax", 0, 2);
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
  const std::string text = "aBcb";
  const char* base = text.c_str();
  char message[kMessageBufferSize];
  ASSERT_EQ(MatchPattern(c.record.get(), base, base + 4, base, 0, message), 1);
  const char* copy = c.record->subjectCopy.get();
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(MatchPattern(c.record.get(), base + 2, base + 4, base, 0, message), 1);
  EXPECT_EQ(c.record->subjectCopy.get(), copy);
  EXPECT_EQ(c.record->groupStart[0], base + 3);
  // A new run over another text at the same address folds afresh.
  std::string other = text;
  other[3] = 'x';
  other[1] = 'X';
  const char* obase = other.c_str();
  EXPECT_EQ(MatchPattern(c.record.get(), obase, obase + 4, obase, 0, message), 0);
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
