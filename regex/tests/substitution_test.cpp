// Substitution: the replacement compiler, and whole "s" commands run through
// the engine's entry point (groups, escapes, verbatim copies, "g", empty
// matches, growth of the output).
#include "regex/substitution.h"

#include <gtest/gtest.h>

#include <string>

#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {
namespace {

// Renders a compiled replacement as `"literal"` and `$n` items, with
// non-printable bytes as \xNN.
std::string Render(const std::optional<ReplacementProgram>& program) {
  if (!program) return "verbatim";
  std::string out;
  for (const auto& entry : program->Entries()) {
    if (!out.empty()) out += ' ';
    if (entry.is_group) {
      out += '$' + std::to_string(entry.group);
      continue;
    }
    out += '"';
    for (const char c : program->Literal(entry)) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x20 || b >= 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", b);
        out += buf;
      } else {
        out += c;
      }
    }
    out += '"';
  }
  return out;
}

// --- Compiling a replacement -------------------------------------------------

struct CompileCase {
  std::string replacement;
  std::string expected;
};

void PrintTo(const CompileCase& c, std::ostream* os) { *os << c.replacement; }

class CompileReplacementTest : public ::testing::TestWithParam<CompileCase> {};

TEST_P(CompileReplacementTest, Compiles) {
  const CompileCase& c = GetParam();
  EXPECT_EQ(Render(CompileReplacement(c.replacement)), c.expected) << c.replacement;
}

INSTANTIATE_TEST_SUITE_P(
    Replacements, CompileReplacementTest,
    ::testing::Values(
        // Verbatim: too short, or nothing special in it.
        CompileCase{"", "verbatim"}, CompileCase{"&", "verbatim"}, CompileCase{"\\", "verbatim"},
        CompileCase{"$x", "verbatim"}, CompileCase{"a$", "verbatim"},
        CompileCase{"a$0b", "verbatim"},
        // Group references.
        CompileCase{"$1", "$1"}, CompileCase{"$2 $1", "$2 \" \" $1"},
        CompileCase{"[$&]", "\"[\" $0 \"]\""}, CompileCase{"$12x", "$12 \"x\""},
        CompileCase{"\\1\\23", "$1 $23"}, CompileCase{"a\\9", "\"a\" $9"},
        // Once special, a "$" before anything else is dropped.
        CompileCase{"$x\\t", "\"x\\x09\""}, CompileCase{"$1$x", "$1 \"x\""},
        CompileCase{"\\tb$", "\"\\x09b$\""},
        // Escapes.
        CompileCase{"\\\\", "\"\\\""}, CompileCase{"\\$1", "\"$1\""},
        CompileCase{"\\/\\&", "\"/&\""}, CompileCase{"\\012\\0", "\"\\x0A\\x00\""},
        CompileCase{"\\0778", "\"?8\""}, CompileCase{"\\x41\\x4\\xg", "\"A\\x04\\x00g\""},
        CompileCase{"\\cA\\ca\\c[", "\"\\x01\\x01\\x1B\""},
        CompileCase{"\\a\\e\\f\\n\\r\\t", "\"\\x07\\x1B\\x0C\\x0A\\x0D\\x09\""},
        CompileCase{"a\\c", "\"ac\""},
        // ソ (0x83 0x5C): the trail byte is no backslash.
        CompileCase{"\x83\x5C$1", "\"\\x83\\\" $1"}, CompileCase{"\x83\x5Cn", "verbatim"},
        // "$" or "\" before a double-byte character keeps it whole: "$ソ\1".
        CompileCase{"$\x83\x5C\\1", "\"\\x83\\\" $1"},
        CompileCase{"\\\x83\x5C"
                    "1",
                    "\"\\x83\\1\""}));

// --- Running substitutions ---------------------------------------------------

struct RunCase {
  std::string command;
  std::string text;
  std::int32_t count;
  std::string expected;  // the result text when count > 0
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.command << " on " << c.text; }

class SubstitutionRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(SubstitutionRunTest, Runs) {
  const RunCase& c = GetParam();
  PatternSlot slot;
  const PatternResult result = slot.Execute(c.command, c.text);
  EXPECT_EQ(result.message, "") << c.command;
  EXPECT_EQ(result.count, c.count) << c.command << " on " << c.text;
  if (c.count > 0) {
    EXPECT_EQ(result.text, c.expected) << c.command << " on " << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SubstitutionRunTest,
    ::testing::Values(
        RunCase{"s/a/b/", "aaa", 1, "baa"}, RunCase{"s/a/b/g", "aaa", 3, "bbb"},
        RunCase{"s/x/y/", "abc", 0, ""},
        // Empty matches in a global substitution.
        RunCase{"s/x*/-/g", "ab", 3, "-a-b-"}, RunCase{"s/b*/-/g", "abc", 4, "-a--c-"},
        RunCase{"s/a*/-/g", "aaa", 1, "-"}, RunCase{"s/a*/-/g", "baaac", 4, "-b--c-"},
        // Groups.
        RunCase{"s/(\\w+) (\\w+)/$2 $1/", "hello world", 1, "world hello"},
        RunCase{"s/(\\w+) (\\w+)/\\2-\\1/", "hello world", 1, "world-hello"},
        RunCase{"s/(a)|b/[$1]/", "b", 1, "[]"}, RunCase{"s/a/[$&]/g", "banana", 3, "b[a]n[a]n[a]"},
        RunCase{"s/a/$12/", "xa", 1, "x"},
        // Verbatim and resolved replacements.
        RunCase{"s/a/$x/", "a", 1, "$x"}, RunCase{"s/a/$x\\t/", "a", 1, "x\t"},
        RunCase{"s/a/\\$1/", "a", 1, "$1"}, RunCase{"s/a/\\\\/", "a", 1, "\\"},
        RunCase{"s/a/\\tb$/", "a", 1, "\tb$"}, RunCase{"s/a/\\n/g", "aba", 2, "\nb\n"},
        // Case-insensitive: the copied parts come from the caller's text.
        RunCase{"s/A/x/gi", "aAa", 3, "xxx"}, RunCase{"s/b/x/gi", "aBcb", 2, "axcx"},
        RunCase{"s/&quot;/\\\"/ig", "a&QUOT;b&quot;", 2, "a\"b\""},
        RunCase{"s/&amp;/&/ig", "&amp;&AMP;", 2, "&&"},
        // "k" mode: "." takes a whole double-byte character (あ is 0x82 0xA0).
        RunCase{"s/./x/gk",
                "\x82\xA0"
                "a",
                2, "xx"},
        RunCase{"s/./x/g",
                "\x82\xA0"
                "a",
                3, "xxx"},
        RunCase{"s/(.)/<$1>/gk", "a\x82\xA0", 2, "<a><\x82\xA0>"},
        // A replacement character with trail byte 0x5C (ソ) is copied whole.
        RunCase{"s/a/\x83\x5C/g", "aba", 2,
                "\x83\x5C"
                "b\x83\x5C"},
        RunCase{"s/(a)/\x83\x5C$1/", "a", 1,
                "\x83\x5C"
                "a"}));

TEST(SubstitutionRun, EmptyResultHasNoText) {
  PatternSlot slot;
  const PatternResult result = slot.Execute("s/a//", "a");
  EXPECT_EQ(result.count, 1);
  EXPECT_EQ(result.message, "");
  EXPECT_EQ(slot.record()->resultStart, nullptr);
}

TEST(SubstitutionRun, NoMatchLeavesNoText) {
  PatternSlot slot;
  const PatternResult result = slot.Execute("s/a/b/", "xyz");
  EXPECT_EQ(result.count, 0);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
}

// After a global run the groups describe the last match found, in the
// caller's text, also under "i" where the search runs on a folded copy.
TEST(SubstitutionRun, GroupsHoldTheLastMatch) {
  const std::pair<const char*, const char*> cases[] = {{"s/(b)/x/g", "abcbd"},
                                                       {"s/(B)/x/gi", "abcBd"}};
  for (const auto& [command, text] : cases) {
    PatternSlot slot;
    ASSERT_EQ(slot.Execute(command, text).count, 2) << command;
    ASSERT_TRUE(slot.Group(0).has_value()) << command;
    EXPECT_EQ(slot.Group(0)->begin, 3u) << command;
    EXPECT_EQ(slot.Group(0)->end, 4u) << command;
    ASSERT_TRUE(slot.Group(1).has_value()) << command;
    EXPECT_EQ(slot.Group(1)->begin, 3u) << command;
  }
}

// --- Large texts: growth, global runs and case folding stay linear ----------

TEST(SubstitutionLarge, GlobalReplacementThatGrowsTheText) {
  // Every "a" becomes four bytes: the output outgrows its first capacity
  // many times over.
  const std::string text(2'000'000, 'a');
  PatternSlot slot;
  const PatternResult result = slot.Execute("s/a/wxyz/g", text);
  ASSERT_EQ(result.count, 2'000'000);
  ASSERT_EQ(result.text.size(), 8'000'000u);
  EXPECT_EQ(result.text.substr(0, 8), "wxyzwxyz");
  EXPECT_EQ(result.text.substr(result.text.size() - 4), "wxyz");
}

TEST(SubstitutionLarge, GlobalCaseInsensitiveOverLargeText) {
  std::string text;
  for (int i = 0; i < 200'000; ++i) text += "xAbx ";
  PatternSlot slot;
  const PatternResult result = slot.Execute("s/ab/-/gi", text);
  ASSERT_EQ(result.count, 200'000);
  EXPECT_EQ(result.text.size(), text.size() - 200'000);
  EXPECT_EQ(result.text.substr(0, 10), "x-x x-x x-");
}

}  // namespace
}  // namespace ostrevin::regex
