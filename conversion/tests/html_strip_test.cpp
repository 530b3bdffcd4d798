// HTML stripping: tag removal, the entity commands, the blank-line collapse
// and the three together as the pipeline runs them.
#include "conversion/html_strip.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/html_stage.h"
#include "conversion/tests/test_files.h"
#include "core/testing/recording_host.h"

namespace ostrevin {
namespace {

using testing::Hex;

struct StripCase {
  const char* name;
  std::string input;
  std::string expected;
  bool changed;
};

void PrintTo(const StripCase& c, std::ostream* os) { *os << c.name; }

// --- Tag removal -----------------------------------------------------------

class StripHtmlTagsTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripHtmlTagsTest, RemovesEveryTag) {
  const StripCase& c = GetParam();
  std::string text = c.input;
  EXPECT_EQ(StripHtmlTags(text), c.changed);
  EXPECT_EQ(text, c.expected) << Hex(text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripHtmlTagsTest,
    ::testing::Values(StripCase{"Empty", "", "", false},
                      StripCase{"NoTag", "plain > text\n", "plain > text\n", false},
                      StripCase{"SimpleTags", "<p>one <b>two</b></p>\n", "one two\n", true},
                      StripCase{"TagOverLines", "a<a\nhref=\"x\">b", "ab", true},
                      // A lone "<" takes everything up to the next ">" with it.
                      StripCase{"LoneLessThan", "x < y and z > w", "x  w", true},
                      // Without a ">" the rest of the text goes.
                      StripCase{"NoClosingBracket", "keep<this is lost\nand this", "keep", true},
                      StripCase{"LessThanAtEnd", "abc<", "abc", true},
                      StripCase{"OnlyTags", "<html><body></body></html>", "", true},
                      // A "<" inside a tag starts nothing new: the first ">" ends it.
                      StripCase{"NestedLessThan", "a<b<c>d>e", "ad>e", true},
                      StripCase{"EmptyTag", "a<>b", "ab", true},
                      // 0x83 0x5C ソ and 0x95 0x5C 表 keep their bytes; 0x82 0xA0 あ.
                      StripCase{"ShiftJisAroundTags", "\x83\x5C<i>\x95\x5C</i>\x82\xA0",
                                "\x83\x5C\x95\x5C\x82\xA0", true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- ApplyPatternCommand ---------------------------------------------------

TEST(ApplyPatternCommandTest, TakesOverTheNewTextAndReturnsTheCount) {
  std::string text = "a-a-a";
  EXPECT_EQ(ApplyPatternCommand(text, "s/a/bb/g"), 3);
  EXPECT_EQ(text, "bb-bb-bb");
}

TEST(ApplyPatternCommandTest, EmptyTextIsNotPassedOn) {
  std::string text;
  EXPECT_EQ(ApplyPatternCommand(text, "s/^/x/"), 0);
  EXPECT_EQ(text, "");
}

TEST(ApplyPatternCommandTest, NoMatchLeavesTheText) {
  std::string text = "abc";
  EXPECT_EQ(ApplyPatternCommand(text, "s/x/y/g"), 0);
  EXPECT_EQ(text, "abc");
}

TEST(ApplyPatternCommandTest, RefusalGivesZeroAndLeavesTheText) {
  std::string text = "abc";
  EXPECT_EQ(ApplyPatternCommand(text, "s/(/x/"), 0);  // unmatched ()
  EXPECT_EQ(ApplyPatternCommand(text, "s//x/"), 0);   // empty pattern: -1 without message
  EXPECT_EQ(text, "abc");
}

TEST(ApplyPatternCommandTest, EmptyResultEmptiesTheText) {
  std::string text = "abc";
  EXPECT_EQ(ApplyPatternCommand(text, "s/abc//"), 1);
  EXPECT_EQ(text, "");
}

TEST(ApplyPatternCommandTest, ResultLengthComesFromTheEngineNotFromANul) {
  std::string text = "axb";
  EXPECT_EQ(ApplyPatternCommand(text, R"(s/x/\0/)"), 1);
  EXPECT_EQ(text, std::string("a\0b", 3)) << Hex(text);
}

// --- Entity commands -------------------------------------------------------

class ReplaceHtmlEntitiesTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(ReplaceHtmlEntitiesTest, ReplacesTheFiveEntities) {
  const StripCase& c = GetParam();
  std::string text = c.input;
  EXPECT_EQ(ReplaceHtmlEntities(text), c.changed);
  EXPECT_EQ(text, c.expected) << Hex(text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceHtmlEntitiesTest,
    ::testing::Values(StripCase{"Nbsp", "a&nbsp;b", "a b", true},
                      StripCase{"Quot", "&quot;x&quot;", "\"x\"", true},
                      StripCase{"Gt", "&gt;", ">", true}, StripCase{"Lt", "&lt;", "<", true},
                      StripCase{"Amp", "R&amp;D", "R&D", true},
                      StripCase{"AnyLetterCase", "&NBSP;&Quot;&gT;&LT;&Amp;", " \"><&", true},
                      StripCase{"Global", "&lt;&lt;&lt;\n&lt;", "<<<\n<", true},
                      // &amp; runs last: what it leaves is not read again.
                      StripCase{"AmpLtStaysEscaped", "&amp;lt;", "&lt;", true},
                      StripCase{"AmpAmpOnce", "&amp;amp;", "&amp;", true},
                      // &lt; runs before &amp;, so the ampersand it meets is already final.
                      StripCase{"LtBeforeAmp", "&lt;&amp;", "<&", true},
                      StripCase{"OtherEntitiesStay", "&copy; &#12354; &nbsp &apos;",
                                "&copy; &#12354; &nbsp &apos;", false},
                      StripCase{"Empty", "", "", false},
                      // 0x95 0x5C 表 and 0x83 0x5C ソ beside the entities.
                      StripCase{"ShiftJis", "\x95\x5C&amp;\x83\x5C", "\x95\x5C&\x83\x5C", true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Blank-line collapse ---------------------------------------------------

class CollapseBlankLinesTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(CollapseBlankLinesTest, LeavesAtMostOneEmptyLine) {
  const StripCase& c = GetParam();
  std::string text = c.input;
  EXPECT_EQ(CollapseBlankLines(text), c.changed);
  EXPECT_EQ(text, c.expected) << Hex(text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CollapseBlankLinesTest,
    ::testing::Values(StripCase{"OneEmptyLine", "a\n\nb\n", "a\n\nb\n", false},
                      StripCase{"TwoEmptyLines", "a\n\n\nb", "a\n\nb", true},
                      // Five empty lines: a run of six LF bytes becomes two.
                      StripCase{"FiveEmptyLines", "a\n\n\n\n\n\nb", "a\n\nb", true},
                      StripCase{"LongRun", std::string(1000, '\n'), "\n\n", true},
                      StripCase{"SeveralRuns", "\n\n\na\n\n\n\nb\n\n\n", "\n\na\n\nb\n\n", true},
                      // A line of blanks is not empty.
                      StripCase{"BlankLineIsNotEmpty", "a\n \n \n \nb", "a\n \n \n \nb", false},
                      StripCase{"BlanksBetweenRuns", "a\n\n \n\n\nb", "a\n\n \n\nb", true},
                      StripCase{"Empty", "", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The three steps together ----------------------------------------------

class StripHtmlStageTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripHtmlStageTest, RunsTagsThenEntitiesThenBlankLines) {
  const StripCase& c = GetParam();
  std::string text = c.input;
  testing::RecordingHost host;
  EXPECT_EQ(StripHtml(text, host), c.changed);
  EXPECT_EQ(text, c.expected) << Hex(text);
  EXPECT_TRUE(host.Dialogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripHtmlStageTest,
    ::testing::Values(
        // Tags go before the entities are replaced: an escaped tag stays.
        StripCase{"EscapedTagStays", "<p>&lt;b&gt;bold&lt;/b&gt;</p>", "<b>bold</b>", true},
        StripCase{"AmpLt", "<i>&amp;lt;</i>", "&lt;", true},
        StripCase{"OnlyTagsChange", "<br>x", "x", true},
        StripCase{"OnlyAnEntityChanges", "x&nbsp;y\n", "x y\n", true},
        StripCase{"OnlyBlankLinesChange", "a\n\n\n\nb", "a\n\nb", true},
        // Removing tag lines leaves runs of empty lines behind.
        StripCase{"TagLinesCollapse", "<html>\n<body>\n\n<p>text</p>\n\n</body>\n</html>\n",
                  "\n\ntext\n\n", true},
        // A former &nbsp; line holds a blank and is not empty for the collapse.
        StripCase{"NbspLineIsNotEmpty", "a\n\n&nbsp;\n\nb", "a\n\n \n\nb", true},
        StripCase{"NothingToDo", "plain text\n\nmore > less\n", "plain text\n\nmore > less\n",
                  false},
        StripCase{"Empty", "", "", false}, StripCase{"NothingButTags", "<a><b>", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ostrevin
