// Start-of-match facts: start literal, start class, anchoring, skipping runs
// and the must literal with its offset and tail anchoring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/tests/engine_test_support.h"

namespace ostrevin::regex {
namespace {

using testing::Compile;

struct FactsCase {
  const char* pattern;
  const char* letters;
  const char* start_literal;  // null: none
  int start_class_kind;       // -1: none
  std::uint8_t start_flags;
  const char* must;  // null: none
  int must_offset;
  bool tail_anchored;
};

TEST(StartAnalysisTest, Facts) {
  constexpr int kClass = static_cast<int>(NodeKind::CHAR_CLASS);
  constexpr int kDigit = static_cast<int>(NodeKind::DIGIT_CHAR);
  constexpr int kBound = static_cast<int>(NodeKind::WORD_BOUNDARY);
  const std::vector<FactsCase> cases = {
      {"abc", "", "abc", -1, 0, nullptr, -1, false},
      {"ab*cd", "", "a", -1, 0, "cd", -1, false},
      {"ab*c", "", "a", -1, 0, nullptr, -1, false},
      {"x+y", "", "x", -1, kStartSkipRuns, "y", -1, false},
      {"(x+)\\1", "", "x", -1, 0, nullptr, -1, false},
      {"(x+)y", "", "x", -1, kStartSkipRuns, "y", -1, false},
      {"^abc", "", "abc", -1, kStartAnchored, nullptr, -1, false},
      {"\\Gabc", "", "abc", -1, kStartAnchored, nullptr, -1, false},
      {"a|b", "", nullptr, -1, 0, nullptr, -1, false},
      {".*abc", "", nullptr, -1, kStartLineStarts, "abc", -1, false},
      // A leading unbounded dot repeat, greedy or lazy, also inside a group;
      // not bounded, or in a group a back-reference may name.
      {"(.{2,})x", "", nullptr, -1, kStartLineStarts, "x", -1, false},
      {"(?s).*x", "", nullptr, -1, kStartSearchStartOnly, "x", -1, false},
      {".*?x", "", nullptr, -1, kStartLineStarts, "x", -1, false},
      {"(?s)(.+?)x", "", nullptr, -1, kStartSearchStartOnly, "x", -1, false},
      {"(.*?)x\\1", "", nullptr, -1, 0, "x", -1, false},
      {".{0,9}x", "", nullptr, -1, 0, "x", -1, false},
      {"(.*)x\\1", "", nullptr, -1, 0, "x", -1, false},
      {"ab.cde", "", "ab", -1, 0, "cde", 3, false},
      // Of literals of equal length the first is kept, unless the later one
      // ends where the text or a line must end.
      {"ab.cd.", "", "ab", -1, 0, nullptr, -1, false},
      {"abc.xyz$", "", "abc", -1, 0, "xyz", 4, true},
      {"abc$", "", "abc", -1, 0, nullptr, -1, false},
      {"a.bcd$", "", "a", -1, 0, "bcd", 2, true},
      {"[ab]c", "", nullptr, kClass, 0, "c", 1, false},
      {"\\d+x", "", nullptr, kDigit, kStartSkipRuns, "x", -1, false},
      {"\\bfoo", "", nullptr, kBound, 0, "foo", 0, false},
      {"(?:ab)+", "", "ab", -1, 0, nullptr, -1, false},
      {"(a|b)c", "", nullptr, -1, 0, "c", -1, false},
      {"x{2}yy", "", "x", -1, 0, "yy", -1, false},
      {"ABC", "i", "abc", -1, 0, nullptr, -1, false},
  };
  for (const FactsCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto compiled = Compile(c.pattern, c.letters);
    ASSERT_NE(compiled.record, nullptr) << compiled.message;
    const PatternRecord& r = *compiled.record;
    if (c.start_literal == nullptr) {
      EXPECT_EQ(r.startLiteral, nullptr);
    } else {
      ASSERT_NE(r.startLiteral, nullptr);
      EXPECT_EQ(std::string(r.startLiteral->data(), r.startLiteral->length()), c.start_literal);
    }
    if (c.start_class_kind < 0) {
      EXPECT_EQ(r.startClass, nullptr);
    } else {
      ASSERT_NE(r.startClass, nullptr);
      EXPECT_EQ(r.startClass[0], c.start_class_kind);
    }
    EXPECT_EQ(r.startFlags, c.start_flags);
    if (c.must == nullptr) {
      EXPECT_EQ(r.mustLiteral, nullptr);
    } else {
      ASSERT_NE(r.mustLiteral, nullptr);
      EXPECT_EQ(std::string(r.mustLiteral->data(), r.mustLiteral->length()), c.must);
      EXPECT_EQ(r.mustOffset, c.must_offset);
      EXPECT_EQ(r.mustLiteral->usefulness, 100);
      EXPECT_EQ(r.mustLiteral->flags & 0xFF, EngineString::kSearchKind);
      EXPECT_EQ((r.mustLiteral->flags & EngineString::kTailAnchored) != 0, c.tail_anchored);
    }
  }
}

// Every literal of the top-level sequence with the least number of bytes a
// match takes before it; the start literal is left out, and of equal
// literals only the farthest is kept.
TEST(StartAnalysisTest, RequiredLiterals) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"a.*z", "z@1"},
      {"ab(c)d+ef{2}gh(?:i|j)k*?l", "abc@0 gh@7 l@9 e@4"},
      {"(\\w+)=\"([^\"]*)\"", "=\"@1 \"@3"},
      {"x(?=y)z(?!q)w", "xzw@0"},
      {".X(.+)+X", "X@2"},
      {"a\\1b", "b@1"},
      {"ab|cd", ""},
  };
  for (const auto& [pattern, expected] : cases) {
    SCOPED_TRACE(pattern);
    auto compiled = Compile(pattern);
    ASSERT_NE(compiled.record, nullptr) << compiled.message;
    std::string got;
    for (const auto& literal : compiled.record->requiredLiterals) {
      if (!got.empty()) got += ' ';
      got += literal.bytes + "@" + std::to_string(literal.minOffset);
    }
    EXPECT_EQ(got, expected);
  }
}

TEST(StartAnalysisTest, MustLiteralSkipTableAndFolding) {
  auto longer = Compile("ab*cd");
  EXPECT_NE(longer.record->mustLiteral->flags & EngineString::kSkipTableValid, 0u);
  auto single = Compile("x+y");
  EXPECT_EQ(single.record->mustLiteral->flags & EngineString::kSkipTableValid, 0u);
  auto folded = Compile("a*XYZ", "i");
  ASSERT_NE(folded.record->mustLiteral, nullptr);
  EXPECT_EQ(std::string(folded.record->mustLiteral->data(), 3), "xyz");
  EXPECT_NE(folded.record->mustLiteral->flags & EngineString::kSkipTableFolded, 0u);
}

// The facts change where the matcher tries, never what it finds.
TEST(StartAnalysisTest, MustLiteralMissingRejectsAtOnce) {
  auto c = Compile("a.*zz");
  const std::string text(100000, 'a');
  auto m = testing::Match(*c.record, text);
  EXPECT_EQ(m.result, 0);
  EXPECT_EQ(c.record->mustLiteral->usefulness, 101);
}

TEST(StartAnalysisTest, FloatingMustLiteralIsDroppedWhenItDoesNotPay) {
  auto c = Compile("\\d+x");  // not costly
  const std::string text = "1x";
  for (int i = 0; i < 101; ++i) {
    auto m = testing::Match(*c.record, text);
    ASSERT_EQ(m.result, 1);
  }
  EXPECT_EQ(c.record->mustLiteral, nullptr);
  EXPECT_EQ(testing::Match(*c.record, text).result, 1);
}

// The bytes a match can begin with (for the plain scan), or none when a
// match may be empty or start with something unknown.
TEST(StartAnalysisTest, FirstBytes) {
  struct Case {
    const char* pattern;
    const char* letters;
    const char* bytes;  // null: no first-byte set
  };
  const std::vector<Case> cases = {
      {"foo|bar|baz", "", "bf"}, {"(?:x|y)z|w", "", "wxy"}, {"a*b|c", "", "abc"},
      {"a+b|c", "", "ac"},       {"^x|\\by", "", "xy"},     {"(?=q)r|s", "", "rs"},
      {"a?|b", "", nullptr},    // may match empty
      {"\\1x|y", "", nullptr},  // a back-reference may be empty
      {"(?:ab)*c|d", "", "acd"}, {"X|Y", "i", "xy"},        {"[0-2]|z", "", "012z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto compiled = Compile(c.pattern, c.letters);
    ASSERT_NE(compiled.record, nullptr) << compiled.message;
    const PatternRecord& r = *compiled.record;
    if (c.bytes == nullptr) {
      EXPECT_FALSE(r.hasFirstBytes);
      continue;
    }
    ASSERT_TRUE(r.hasFirstBytes);
    std::string got;
    for (int b = 0; b < 256; ++b) {
      if (r.firstBytes[static_cast<std::size_t>(b)] != 0) got += static_cast<char>(b);
    }
    EXPECT_EQ(got, c.bytes);
  }
}

}  // namespace
}  // namespace ostrevin::regex
