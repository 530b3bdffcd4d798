// Tests for ApplyConversionTable: table order, the change flag, and the
// dispatch on RegExp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/testing/recording_host.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

ConversionTable Simple(const Pairs& entries) {
  ConversionTable table;
  for (const auto& [search, replacement] : entries) table.Add(search, replacement);
  return table;
}

TEST(ApplyConversionTable, SimpleModeAppliesEntriesInOrder) {
  struct Case {
    const char* name;
    Pairs entries;
    std::string text;
    std::string expected;
    bool changed;
  };
  const std::vector<Case> cases = {
      // あ = 82 A0, い = 82 A2, う = 82 A4: a later entry sees what an earlier one inserted.
      {"order_matters",
       {{"\x82\xA0", "\x82\xA2"}, {"\x82\xA2", "\x82\xA4"}},
       "\x82\xA0\x82\xA2",
       "\x82\xA4\x82\xA4",
       true},
      {"empty_replacement_deletes", {{"x", ""}, {"", "y"}}, "axbx", "ab", true},
      {"no_match_no_flag", {{"zz", "y"}}, "abc", "abc", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RecordingHost host;
    std::string text = c.text;
    bool changed = false;
    EXPECT_TRUE(ApplyConversionTable(text, Simple(c.entries), 0, host, changed));
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(changed, c.changed);
    EXPECT_TRUE(host.calls.empty());
  }
}

TEST(ApplyConversionTable, ChangeFlagIsNeverCleared) {
  testing::RecordingHost host;
  std::string text = "abc";
  bool changed = true;
  EXPECT_TRUE(ApplyConversionTable(text, Simple({{"zz", "y"}}), 0, host, changed));
  EXPECT_TRUE(changed);
}

// Any RegExp but 0 runs the commands (tables/pattern_table.h), and reports
// a faulty one.
TEST(ApplyConversionTable, PatternModeRunsTheCommands) {
  ConversionTable table;
  table.AddCommand("s/a/b/g");
  table.AddCommand("tr/a-z/A-Z/");
  for (int reg_exp : {1, 7, -1}) {
    SCOPED_TRACE(reg_exp);
    testing::RecordingHost host;
    std::string text = "abc";
    bool changed = false;
    EXPECT_TRUE(ApplyConversionTable(text, table, reg_exp, host, changed));
    EXPECT_EQ(text, "BBC");
    EXPECT_TRUE(changed);
  }
  table.AddCommand("x/a/");
  testing::RecordingHost host;
  std::string text = "abc";
  bool changed = false;
  EXPECT_FALSE(ApplyConversionTable(text, table, 1, host, changed));
  EXPECT_EQ(text, "BBC");
  EXPECT_EQ(host.Dialogs().size(), 1u);
}

}  // namespace
}  // namespace ostrevin
