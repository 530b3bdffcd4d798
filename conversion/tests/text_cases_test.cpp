// The cases of text_cases.txt: line ends, the steps of HTML stripping and the
// stage that runs them, and one pattern command over a text; then the HTML
// stage's one-pass entities and collapse against the steps it stands for.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/html_stage.h"
#include "conversion/html_strip.h"
#include "conversion/line_ends.h"
#include "core/testing/case_file.h"
#include "core/testing/hex.h"
#include "core/testing/recording_host.h"

namespace ostrevin {
namespace {

using testing::Case;
using testing::Hex;

TEST(TextCases, FromTheCaseFile) {
  testing::RecordingHost host;
  for (const Case& c : testing::ReadCases(OSTREVIN_TEST_DIR "/text_cases.txt")) {
    const testing::CaseTrace trace(c);
    const std::string& stage = c[0];
    if (!c.Has(stage == "command" ? 5 : 4)) continue;
    std::string text = c.Bytes(1);
    if (stage == "lines") {
      EXPECT_EQ(NormalizeLineEnds(text), static_cast<std::size_t>(c.Number(3)));
    } else if (stage == "command") {
      EXPECT_EQ(ApplyPatternCommand(text, c.Bytes(4).c_str()), c.Number(3));
    } else {
      bool changed = false;
      if (stage == "tags") {
        changed = StripHtmlTags(text);
      } else if (stage == "entities") {
        changed = ReplaceHtmlEntities(text);
      } else if (stage == "blank") {
        changed = CollapseBlankLines(text);
      } else if (stage == "html") {
        changed = StripHtml(text, host);
      } else {
        ADD_FAILURE() << c.Where() << ": unknown stage " << stage;
        continue;
      }
      EXPECT_EQ(changed, c[3] == "y");
    }
    EXPECT_EQ(Hex(text), Hex(c.Bytes(2)));
  }
  EXPECT_EQ(host.calls, std::vector<std::string>{});
}

// Random texts of entity pieces, LF runs, lead bytes and letters in either
// case: the one pass against the five engine commands and the repeated
// ReplaceAll.
TEST(TextCases, OnePassEntitiesAndCollapseAgreeWithTheSteps) {
  const std::vector<std::string> pieces = {"&",      "&amp;",  "&AMP;",  "&lt;",
                                           "&Gt;",   "&quot;", "&nbSP;", "&nbsp",
                                           "amp;",   "lt;",    ";",      "\n",
                                           "\n\n",   "\n\n\n", "\x82",   "\x81",
                                           "\xA0",   "a",      "Q",      std::string(1, '\0'),
                                           "&\x82\n"};
  std::mt19937 random(2026);
  for (int round = 0; round < 20000; ++round) {
    std::string input;
    const int count = static_cast<int>(random() % 16);
    for (int i = 0; i < count; ++i) input += pieces[random() % pieces.size()];
    std::string expected = input;
    const bool entities = ReplaceHtmlEntities(expected);
    const bool collapsed = CollapseBlankLines(expected);
    std::string actual = input;
    ASSERT_EQ(ReplaceEntitiesAndCollapseBlankLines(actual), entities || collapsed) << Hex(input);
    ASSERT_EQ(Hex(actual), Hex(expected)) << Hex(input);
  }
}

}  // namespace
}  // namespace ostrevin
