// HTML stripping: tag removal, the entity commands, the blank-line collapse
// and the three together as the pipeline runs them.
#include "conversion/html_strip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/html_stage.h"
#include "core/testing/hex.h"
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

template <typename Step>
void ExpectSteps(Step step, const std::vector<StripCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.input;
    EXPECT_EQ(step(text), c.changed);
    EXPECT_EQ(Hex(text), Hex(c.expected));
  }
}

TEST(StripHtmlTagsTest, RemovesEveryTag) {
  ExpectSteps(StripHtmlTags,
              {
                  {"empty", "", "", false},
                  {"no tag", "plain > text\n", "plain > text\n", false},
                  {"simple tags", "<p>one <b>two</b></p>\n", "one two\n", true},
                  {"tag over lines", "a<a\nhref=\"x\">b", "ab", true},
                  // A lone "<" takes everything up to the next ">" with it.
                  {"lone less-than", "x < y and z > w", "x  w", true},
                  // Without a ">" the rest of the text goes.
                  {"no closing bracket", "keep<this is lost\nand this", "keep", true},
                  {"less-than at the end", "abc<", "abc", true},
                  // A "<" inside a tag starts nothing new: the first ">" ends it.
                  {"nested less-than", "a<b<c>d>e", "ad>e", true},
                  {"empty tag", "a<>b", "ab", true},
                  // 0x83 0x5C ソ and 0x95 0x5C 表 keep their bytes; 0x82 0xA0 あ.
                  {"Shift-JIS around tags", "\x83\x5C<i>\x95\x5C</i>\x82\xA0",
                   "\x83\x5C\x95\x5C\x82\xA0", true},
              });
}

TEST(ApplyPatternCommandTest, TakesOverTheEnginesTextAndCount) {
  struct Case {
    const char* command;
    std::string input;
    int count;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"s/a/bb/g", "a-a-a", 3, "bb-bb-bb"},
      {"s/^/x/", "", 0, ""},  // an empty text is not passed on
      {"s/x/y/g", "abc", 0, "abc"},
      {"s/(/x/", "abc", 0, "abc"},  // refused: unmatched ()
      {"s//x/", "abc", 0, "abc"},   // empty pattern: -1 without a message
      {"s/abc//", "abc", 1, ""},
      // The length comes from the engine, not from the first NUL.
      {R"(s/x/\0/)", "axb", 1, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    std::string text = c.input;
    EXPECT_EQ(ApplyPatternCommand(text, c.command), c.count);
    EXPECT_EQ(Hex(text), Hex(c.expected));
  }
}

TEST(ReplaceHtmlEntitiesTest, ReplacesTheFiveEntities) {
  ExpectSteps(ReplaceHtmlEntities,
              {
                  {"the five", "a&nbsp;b&quot;x&quot;&gt;&lt;R&amp;D", "a b\"x\"><R&D", true},
                  {"any letter case", "&NBSP;&Quot;&gT;&LT;&Amp;", " \"><&", true},
                  {"every occurrence", "&lt;&lt;&lt;\n&lt;", "<<<\n<", true},
                  // &amp; runs last: what it leaves is not read again.
                  {"&amp;lt; stays escaped", "&amp;lt;", "&lt;", true},
                  {"&amp;amp; once", "&amp;amp;", "&amp;", true},
                  // &lt; runs before &amp;, so the ampersand it meets is already final.
                  {"&lt; before &amp;", "&lt;&amp;", "<&", true},
                  {"other entities stay", "&copy; &#12354; &nbsp &apos;",
                   "&copy; &#12354; &nbsp &apos;", false},
                  // 0x95 0x5C 表 and 0x83 0x5C ソ beside the entities.
                  {"Shift-JIS", "\x95\x5C&amp;\x83\x5C", "\x95\x5C&\x83\x5C", true},
              });
}

TEST(CollapseBlankLinesTest, LeavesAtMostOneEmptyLine) {
  ExpectSteps(CollapseBlankLines,
              {
                  {"one empty line", "a\n\nb\n", "a\n\nb\n", false},
                  {"two empty lines", "a\n\n\nb", "a\n\nb", true},
                  // Five empty lines: a run of six LF bytes becomes two.
                  {"five empty lines", "a\n\n\n\n\n\nb", "a\n\nb", true},
                  {"long run", std::string(1000, '\n'), "\n\n", true},
                  {"several runs", "\n\n\na\n\n\n\nb\n\n\n", "\n\na\n\nb\n\n", true},
                  // A line of blanks is not empty.
                  {"blank line is not empty", "a\n \n \n \nb", "a\n \n \n \nb", false},
                  {"blanks between runs", "a\n\n \n\n\nb", "a\n\n \n\nb", true},
                  {"empty", "", "", false},
              });
}

TEST(StripHtmlStageTest, RunsTagsThenEntitiesThenBlankLines) {
  testing::RecordingHost host;
  ExpectSteps(
      [&](std::string& text) { return StripHtml(text, host); },
      {
          // Tags go before the entities are replaced: an escaped tag stays.
          {"escaped tag stays", "<p>&lt;b&gt;bold&lt;/b&gt;</p>", "<b>bold</b>", true},
          // Each step's change counts on its own.
          {"only tags change", "<br>x", "x", true},
          {"only an entity changes", "x&nbsp;y\n", "x y\n", true},
          {"only blank lines change", "a\n\n\n\nb", "a\n\nb", true},
          // Removing tag lines leaves runs of empty lines behind.
          {"tag lines collapse", "<html>\n<body>\n\n<p>text</p>\n\n</body>\n</html>\n",
           "\n\ntext\n\n", true},
          {"nothing to do", "plain text\n\nmore > less\n", "plain text\n\nmore > less\n", false},
      });
  EXPECT_EQ(host.calls, std::vector<std::string>{});
}

}  // namespace
}  // namespace ostrevin
