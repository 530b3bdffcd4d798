// Substitution: the replacement compiler, and whole "s" commands run through
// the engine's entry point (groups, escapes, verbatim copies, "g", empty
// matches, growth of the output).
#include "regex/substitution.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// Compiling a replacement: verbatim, or literal and group items.
TEST(CompileReplacement, Items) {
  using R = std::pair<std::string, std::string>;
  const std::vector<R> rows = {
      // Verbatim: too short, or nothing special in it.
      R{"", "verbatim"}, R{"&", "verbatim"}, R{"\\", "verbatim"}, R{"$x", "verbatim"},
      R{"a$", "verbatim"}, R{"a$0b", "verbatim"},
      // Group references.
      R{"$1", "$1"}, R{"$2 $1", "$2 \" \" $1"}, R{"[$&]", "\"[\" $0 \"]\""}, R{"$12x", "$12 \"x\""},
      R{"\\1\\23", "$1 $23"}, R{"a\\9", "\"a\" $9"},
      // Once special, a "$" before anything else is dropped.
      R{"$x\\t", "\"x\\x09\""}, R{"$1$x", "$1 \"x\""}, R{"\\tb$", "\"\\x09b$\""},
      // Escapes.
      R{"\\\\", "\"\\\""}, R{"\\$1", "\"$1\""}, R{"\\/\\&", "\"/&\""},
      R{"\\012\\0", "\"\\x0A\\x00\""}, R{"\\0778", "\"?8\""},
      R{"\\x41\\x4\\xg", "\"A\\x04\\x00g\""}, R{"\\cA\\ca\\c[", "\"\\x01\\x01\\x1B\""},
      R{"\\a\\e\\f\\n\\r\\t", "\"\\x07\\x1B\\x0C\\x0A\\x0D\\x09\""}, R{"a\\c", "\"ac\""},
      // ソ (0x83 0x5C): the trail byte is no backslash.
      R{"\x83\x5C$1", "\"\\x83\\\" $1"}, R{"\x83\x5Cn", "verbatim"},
      // "$" or "\" before a double-byte character keeps it whole: "$ソ\1".
      R{"$\x83\x5C\\1", "\"\\x83\\\" $1"},
      R{"\\\x83\x5C"
        "1",
        "\"\\x83\\1\""}};
  for (const auto& [replacement, expected] : rows)
    EXPECT_EQ(Render(CompileReplacement(replacement)), expected) << replacement;
}

// Whole "s" commands. Plain global runs, groups and case folding are compared
// with perl in perl_differential_test; these are this engine's own rules.
TEST(SubstitutionRun, Commands) {
  struct R {
    std::string command, text;
    std::int32_t count;
    std::string expected;  // the result text when count > 0
  };
  const std::vector<R> rows = {
      R{"s/a/b/", "aaa", 1, "baa"},
      // Empty matches in a global substitution.
      R{"s/x*/-/g", "ab", 3, "-a-b-"}, R{"s/b*/-/g", "abc", 4, "-a--c-"},
      R{"s/a*/-/g", "aaa", 1, "-"}, R{"s/a*/-/g", "baaac", 4, "-b--c-"},
      // Group references: "\n" like "$n"; a group the pattern lacks is empty.
      R{"s/(\\w+) (\\w+)/\\2-\\1/", "hello world", 1, "world-hello"}, R{"s/a/$12/", "xa", 1, "x"},
      // Verbatim and resolved replacements.
      R{"s/a/$x/", "a", 1, "$x"}, R{"s/a/$x\\t/", "a", 1, "x\t"}, R{"s/a/\\$1/", "a", 1, "$1"},
      R{"s/a/\\\\/", "a", 1, "\\"}, R{"s/a/\\tb$/", "a", 1, "\tb$"},
      // Case-insensitive: the copied parts come from the caller's text.
      R{"s/b/x/gi", "aBcb", 2, "axcx"}, R{"s/&quot;/\\\"/ig", "a&QUOT;b&quot;", 2, "a\"b\""},
      // "k" mode: "." takes a whole double-byte character (あ is 0x82 0xA0).
      R{"s/./x/gk",
        "\x82\xA0"
        "a",
        2, "xx"},
      R{"s/(.)/<$1>/gk", "a\x82\xA0", 2, "<a><\x82\xA0>"},
      // A replacement character with trail byte 0x5C (ソ) is copied whole.
      R{"s/a/\x83\x5C/g", "aba", 2,
        "\x83\x5C"
        "b\x83\x5C"},
      R{"s/(a)/\x83\x5C$1/", "a", 1,
        "\x83\x5C"
        "a"}};
  for (const R& c : rows) {
    PatternSlot slot;
    const PatternResult result = slot.Execute(c.command, c.text);
    EXPECT_EQ(result.message, "") << c.command;
    EXPECT_EQ(result.count, c.count) << c.command << " on " << c.text;
    if (c.count > 0) {
      EXPECT_EQ(result.text, c.expected) << c.command << " on " << c.text;
    }
  }
}

// An empty result and a run without a match leave no result text.
TEST(SubstitutionRun, NoTextWithoutResult) {
  for (const char* text : {"a", "xyz"}) {
    PatternSlot slot;
    const PatternResult result = slot.Execute("s/a//", text);
    EXPECT_EQ(result.count, text[0] == 'a' ? 1 : 0) << text;
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(slot.record()->resultStart, nullptr) << text;
  }
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

// Every "a" becomes four bytes: the output outgrows its first capacity many
// times over.
TEST(SubstitutionLarge, GlobalReplacementThatGrowsTheText) {
  const std::string text(2'000'000, 'a');
  PatternSlot slot;
  const PatternResult result = slot.Execute("s/a/wxyz/g", text);
  ASSERT_EQ(result.count, 2'000'000);
  ASSERT_EQ(result.text.size(), 8'000'000u);
  EXPECT_EQ(result.text.substr(0, 8), "wxyzwxyz");
  EXPECT_EQ(result.text.substr(result.text.size() - 4), "wxyz");
}

}  // namespace
}  // namespace ostrevin::regex
