// Tests for ConversionTable: its storage (entries added one by one, storage
// taken over from a loader, its invariants) and ApplyConversionTable (table
// order, the change flag, the dispatch on RegExp).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/testing/recording_host.h"
#include "tables/conversion_table.h"
#include "tables/tests/table_entries.h"

namespace ostrevin {
namespace {

using testing::AllEntries;
using testing::Entries;

TEST(ConversionTable, AddKeepsOrderAndFieldBoundaries) {
  ConversionTable table;
  EXPECT_TRUE(table.empty());
  table.Add("ab", "");
  table.Add("", "c");
  table.AddCommand("s/a/b/");
  table.Add(std::string("x\0y", 3), std::string("\0z", 2));  // a NUL ends a field
  EXPECT_EQ(table.size(), 4u);
  EXPECT_EQ(AllEntries(table), (Entries{{"ab", ""}, {"", "c"}, {"s/a/b/", ""}, {"x", ""}}));
  EXPECT_EQ(table.Command(2), "s/a/b/");
  table.Clear();
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(table.size(), 0u);
}

TEST(ConversionTable, TakesOverStorageAndDropsItsUnusedTail) {
  ConversionTable table(std::string("abcdeUNUSED"), {2, 3, 3, 5});
  EXPECT_EQ(AllEntries(table), (Entries{{"ab", "c"}, {"", "de"}}));
  // Entries added later follow the last field, not the unused bytes.
  table.Add("f", "g");
  EXPECT_EQ(AllEntries(table), (Entries{{"ab", "c"}, {"", "de"}, {"f", "g"}}));
  EXPECT_TRUE(ConversionTable(std::string("x"), {}).empty());
}

TEST(ConversionTable, RefusesStorageThatBreaksItsLayout) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::size_t> ends;
  };
  const Case cases[] = {
      {"odd_count", "abc", {1, 2, 3}},
      {"decreasing", "abc", {2, 1}},
      {"past_the_bytes", "abc", {1, 4}},
      {"nul_in_a_field", std::string("a\0c", 3), {1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(ConversionTable(c.bytes, c.ends), std::invalid_argument);
  }
  // A NUL after the last field is outside every field.
  EXPECT_NO_THROW(ConversionTable(std::string("ab\0", 3), {1, 2}));
}

// --- Applying a table ---------------------------------------------------------

ConversionTable Simple(const Entries& entries) {
  ConversionTable table;
  for (const auto& [search, replacement] : entries) table.Add(search, replacement);
  return table;
}

// Results per table are in table_cases.txt. The flag is the file's: a table
// that changes nothing never clears it.
TEST(ApplyConversionTable, NeverClearsTheChangeFlag) {
  testing::RecordingHost host;
  std::string text = "abc";
  bool changed = true;
  EXPECT_TRUE(ApplyConversionTable(text, Simple({{"zz", "y"}}), 0, host, changed));
  EXPECT_TRUE(changed);
}

// Any RegExp but 0 runs the commands (tables/pattern_table.h), up to a
// faulty one, and says whether all of them ran.
TEST(ApplyConversionTable, PatternModeRunsTheCommands) {
  ConversionTable table;
  table.AddCommand("s/a/b/g");
  table.AddCommand("tr/a-z/A-Z/");
  table.AddCommand("x/a/");
  for (int reg_exp : {1, 7, -1}) {
    SCOPED_TRACE(reg_exp);
    testing::RecordingHost host;
    std::string text = "abc";
    bool changed = false;
    EXPECT_FALSE(ApplyConversionTable(text, table, reg_exp, host, changed));
    EXPECT_EQ(text, "BBC");
    EXPECT_TRUE(changed);
    EXPECT_EQ(host.Dialogs().size(), 1u);
  }
}

}  // namespace
}  // namespace ostrevin
