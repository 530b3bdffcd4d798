// Substitution runs through the engine's entry point: the record's result
// text and groups after a run, and growth of the output. Replacement syntax
// and results per command are in commands.cases.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {
namespace {

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
