// Pathological inputs that must end in a result or a message, never in a
// crash: nested quantifiers over long subjects, a 32 KiB command, a table of
// 100,000 lines, and long lines through the text stages.
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/html_strip.h"
#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"
#include "core/testing/recording_host.h"
#include "core/testing/scratch_folder.h"
#include "regex/pattern_engine.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

using regex::PatternResult;
using regex::PatternSlot;

std::string Repeat(std::string_view unit, std::size_t bytes) {
  std::string text;
  text.reserve(bytes + unit.size());
  while (text.size() < bytes) text.append(unit);
  return text;
}

// --- Nested quantifiers over long subjects ----------------------------------
// Shapes a backtracking matcher handles in linear time or with a bounded
// stack: each ends with its count or with the engine's message.

struct NestedCase {
  const char* command;
  const char* unit;       // the subject is this repeated ...
  std::size_t bytes;      // ... to this many bytes
  const char* tail;       // then this
  std::int32_t expected;  // the count
  const char* message;    // and the message
};

TEST(NestedQuantifiers, EndWithACountOrAMessageOnLongSubjects) {
  constexpr std::size_t kMiB = 1 << 20;
  const std::vector<NestedCase> cases = {
      // No "c" anywhere: the required literal rules every start out.
      {"m/(a|b)*c/", "ab", kMiB, "", 0, ""},
      {"m/(a*)*b/", "a", kMiB, "", 0, ""},
      {"m/(a*)*b/", "a", kMiB, "b", 1, ""},
      {"m/(?:a+)+b/", "a", kMiB, "b", 1, ""},
      // One repetition over the whole subject, each character a stack entry.
      {"s/(?:a|b)+$/x/", "ab", 64 * 1024, "", 1, ""},
      {"s/(ab)*$/x/", "ab", 64 * 1024, "", 1, ""},
      {"s/.*?z/x/", "y", kMiB, "z", 1, ""},
      {"s/^(\\w+\\s?)*$/x/", "word ", 16 * 1024, "", 1, ""},
      {"tr/a-z//", "abc", kMiB, "", static_cast<std::int32_t>(kMiB + 2), ""},
  };
  for (const NestedCase& c : cases) {
    SCOPED_TRACE(c.command);
    PatternSlot slot;
    const std::string subject = Repeat(c.unit, c.bytes) + c.tail;
    const PatternResult result = slot.Run(c.command, subject);
    EXPECT_EQ(result.count, c.expected);
    EXPECT_EQ(result.message, c.message);
  }
}

TEST(NestedQuantifiers, DeepRecursionIsRefusedWithAMessageNotACrash) {
  // Every iteration of a repeat whose body takes one or two bytes leaves
  // backtrack entries; the matcher's own stack has a limit and reports it.
  PatternSlot slot;
  const std::string subject = Repeat("ab", 12 << 20);
  const PatternResult result = slot.Run("s/(?:a|ab)+$/x/", subject);
  EXPECT_EQ(result.count, 0);
  EXPECT_EQ(result.message, "regexp stack overflow");
}

TEST(NestedQuantifiers, ManyComplexRepeatsCompile) {
  // Each complex repeat doubles the compiler's costliness score; forty of
  // them once overflowed it.
  for (const char* unit : {"(a)?", "(?:ab)*", "(a|b){0,2}"}) {
    SCOPED_TRACE(unit);
    PatternSlot slot;
    const PatternResult result =
        slot.Run("m/" + Repeat(unit, 40 * std::strlen(unit)) + "c/", "xxababc");
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(result.message, "");
  }
}

// --- A command of 32 KiB -------------------------------------------------

TEST(LongCommand, ThirtyTwoKiBCommandsRunOrAreRefusedWithAMessage) {
  // A program holds at most 32766 bytes: a pattern that needs more is
  // refused with "too big compile"; a long replacement or long tr lists are
  // not limited.
  constexpr std::size_t k32KiB = 32 * 1024;
  const std::string literal = Repeat("abcdefgh", k32KiB - 16);
  const std::string half = literal.substr(0, k32KiB / 2);
  std::string alternation;
  for (int i = 0; alternation.size() < k32KiB - 16; ++i) {
    if (i > 0) alternation += "|";
    alternation.append("w").append(std::to_string(i));
  }
  const std::string subject = "xx" + literal + " w4095 yy";
  struct Case {
    std::string command;
    std::int32_t expected;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"s/" + literal + "/L/", -1, "too big compile"},
      {"m/(" + alternation + ")\\s/", -1, "too big compile"},
      {"s/" + Repeat("(a)?", k32KiB - 16) + "x/-/", -1, "too big compile"},
      {"s/" + half + "/L/g", 1, ""},
      {"s/w4095/" + literal + "/", 1, ""},
      {"tr/" + Repeat("a-h", k32KiB / 2) + "/" + Repeat("A-H", k32KiB / 2) + "/",
       static_cast<std::int32_t>(literal.size()), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.substr(0, 40));
    ASSERT_GE(c.command.size(), k32KiB / 2);
    PatternSlot slot;
    const PatternResult result = slot.Run(c.command, subject);
    EXPECT_EQ(result.count, c.expected);
    EXPECT_EQ(result.message, c.message);
  }
}

TEST(LongCommand, ThirtyTwoKiBTableLineLoadsAndApplies) {
  testing::ScratchFolder dir;
  const std::string search = Repeat("0123456789", 32 * 1024);
  testing::WriteFile(dir / "table.txt", search + "\tX\n");
  testing::RecordingHost host;
  ConversionTable table;
  ASSERT_TRUE(LoadConversionTable(dir / "table.txt", false, table, host));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.Search(0), search);
  std::string text = "<" + search + search + ">";
  bool changed = false;
  EXPECT_TRUE(ApplyConversionTable(text, table, 0, host, changed));
  EXPECT_TRUE(changed);
  EXPECT_EQ(text, "<XX>");
}

// --- A table of 100,000 lines ----------------------------------------------

TEST(LargeTable, HundredThousandLinesInBothModes) {
  constexpr int kLines = 100000;
  testing::ScratchFolder dir;
  std::string simple;
  std::string pattern;
  for (int i = 0; i < kLines; ++i) {
    simple.append("<")
        .append(std::to_string(i))
        .append(">\t[")
        .append(std::to_string(i))
        .append("]\n");
  }
  // The pattern table: many commands that find nothing, and one that does.
  for (int i = 0; i < kLines - 1; ++i) pattern += "s/<q" + std::to_string(i) + ">/x/g\n";
  pattern += "s/<(\\d+)>/($1)/g\n";
  testing::WriteFile(dir / "simple.txt", simple);
  testing::WriteFile(dir / "pattern.txt", pattern);
  const std::string text = "<7> <99999> <100000> <0>";

  testing::RecordingHost host;
  ConversionTable table;
  ASSERT_TRUE(LoadConversionTable(dir / "simple.txt", false, table, host));
  ASSERT_EQ(table.size(), static_cast<std::size_t>(kLines));
  std::string converted = text;
  bool changed = false;
  EXPECT_TRUE(ApplyConversionTable(converted, table, 0, host, changed));
  // "<1>" is applied before "<10000>", but "<100000>" holds no "<1>".
  EXPECT_EQ(converted, "[7] [99999] <100000> [0]");

  ASSERT_TRUE(LoadConversionTable(dir / "pattern.txt", true, table, host));
  ASSERT_EQ(table.size(), static_cast<std::size_t>(kLines));
  converted = text;
  changed = false;
  EXPECT_TRUE(ApplyConversionTable(converted, table, 1, host, changed));
  EXPECT_TRUE(changed);
  EXPECT_EQ(converted, "(7) (99999) (100000) (0)");
  EXPECT_TRUE(host.Dialogs().empty());
}

// --- Long lines through the text stages -------------------------------------

TEST(LongLines, SixteenMiBLineThroughEveryTextStage) {
  constexpr std::size_t kBytes = 16 << 20;
  // One EUC line without a line end: "あ" (0xA4 0xA2) repeated, a tag, an entity.
  std::string text = Repeat("\xA4\xA2", kBytes) + "<b>&amp;</b>\r";
  EXPECT_TRUE(AutoToShiftJis(text).converted());
  EXPECT_EQ(text.size(), kBytes + 13);
  EXPECT_EQ(text.substr(0, 2), "\x82\xA0");  // あ in Shift-JIS
  EXPECT_EQ(NormalizeLineEnds(text), 1u);
  EXPECT_TRUE(StripHtmlTags(text));
  EXPECT_TRUE(ReplaceHtmlEntities(text));
  EXPECT_EQ(text.size(), kBytes + 2);
  EXPECT_EQ(text.substr(text.size() - 2), "&\n");
}

}  // namespace
}  // namespace ostrevin
