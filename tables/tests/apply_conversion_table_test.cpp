// Tests for ApplyConversionTable: table order, the change flag, and the
// dispatch to the pattern mode.
#include <gtest/gtest.h>

#include <string>

#include "core/testing/recording_host.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

ConversionTable Simple(std::vector<std::string> search, std::vector<std::string> replacements) {
  return ConversionTable{std::move(search), std::move(replacements)};
}

struct ApplyCase {
  const char* name;
  ConversionTable table;
  std::string text;
  std::string expected;
  bool changed;
};

void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }

class SimpleModeTest : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(SimpleModeTest, AppliesEntriesInOrder) {
  const ApplyCase& c = GetParam();
  testing::RecordingHost host;
  std::string text = c.text;
  bool changed = false;
  EXPECT_TRUE(ApplyConversionTable(text, c.table, 0, host, changed));
  EXPECT_EQ(text, c.expected);
  EXPECT_EQ(changed, c.changed);
  EXPECT_TRUE(host.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SimpleModeTest,
    ::testing::Values(
        // あ = 82 A0, い = 82 A2, う = 82 A4: a later entry sees what an earlier one inserted.
        ApplyCase{"order_matters", Simple({"\x82\xA0", "\x82\xA2"}, {"\x82\xA2", "\x82\xA4"}),
                  "\x82\xA0\x82\xA2", "\x82\xA4\x82\xA4", true},
        ApplyCase{"empty_replacement_deletes", Simple({"x"}, {""}), "axbx", "ab", true},
        ApplyCase{"empty_text", Simple({"a"}, {"b"}), "", "", false},
        ApplyCase{"only_empty_searches", Simple({"", ""}, {"a", "b"}), "text", "text", false},
        ApplyCase{"cr_never_matches", Simple({"\r\n"}, {"|"}), "a\nb\n", "a\nb\n", false},
        ApplyCase{"no_match_no_flag", Simple({"zz"}, {"y"}), "abc", "abc", false},
        ApplyCase{"empty_table", Simple({}, {}), "abc", "abc", false},
        ApplyCase{"lf_entry", Simple({"\n"}, {"<br>\n"}), "a\nb", "a<br>\nb", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApplyConversionTable, ChangeFlagIsNeverCleared) {
  testing::RecordingHost host;
  std::string text = "abc";
  bool changed = true;
  EXPECT_TRUE(ApplyConversionTable(text, Simple({"zz"}, {"y"}), 0, host, changed));
  EXPECT_TRUE(changed);
}

// Any RegExp but 0 runs the commands (tables/pattern_table.h).
TEST(ApplyConversionTable, PatternModeRunsTheCommands) {
  testing::RecordingHost host;
  const ConversionTable table{{"s/a/b/g", "tr/a-z/A-Z/"}, {}};
  for (int reg_exp : {1, 2, -1}) {
    std::string text = "abc";
    bool changed = false;
    EXPECT_TRUE(ApplyConversionTable(text, table, reg_exp, host, changed));
    EXPECT_EQ(text, "BBC");
    EXPECT_TRUE(changed);
  }
}

}  // namespace
}  // namespace ostrevin
