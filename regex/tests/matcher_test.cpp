// Matcher results per construct, in byte and Shift-JIS mode, with case
// folding, captured groups, the start-position search and deep subjects.
#include <gtest/gtest.h>

#include "regex/tests/engine_test_support.h"

namespace ostrevin::regex {
namespace {

using testing::Compile;
using testing::ExpectGroup;
using testing::ExpectMatch;
using testing::ExpectNoMatch;
using testing::Match;

struct MatchCase {
  const char* pattern;
  const char* letters;
  std::string subject;
  long begin;  // -1: no match
  long end;
};

void RunCases(const std::vector<MatchCase>& cases) {
  for (const MatchCase& c : cases) {
    if (c.begin < 0) {
      ExpectNoMatch(c.pattern, c.letters, c.subject);
    } else {
      ExpectMatch(c.pattern, c.letters, c.subject, c.begin, c.end);
    }
  }
}

// Literals, classes and the one-character nodes.
TEST(MatcherTest, Atoms) {
  RunCases({
      {"abc", "", "xxabcx", 2, 5},
      {"abc", "", "ab", -1, 0},
      {"a.c", "", "abc", 0, 3},
      {"a.c", "", "a\nc", -1, 0},
      {"[b-d]+", "", "abcde", 1, 4},
      {"[^a]", "", "aab", 2, 3},
      {"\\w+", "", "  ab_9 ", 2, 6},
      {"\\W", "", "ab c", 2, 3},
      {"\\s\\S", "", "a b", 1, 3},
      {"\\d+", "", "ab123c", 2, 5},
      {"\\D", "", "12a", 2, 3},
      {"x*", "", "a", 0, 0},
      {"\\bfoo\\b", "", "afoo foo", 5, 8},
      {"\\Boo", "", "foo", 1, 3},
  });
}

}  // namespace
}  // namespace ostrevin::regex
