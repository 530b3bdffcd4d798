// ConversionTable's storage: fields cut at a NUL, storage taken over from a
// loader, and the layouts it refuses. Tables applied to texts are in
// table_cases.txt.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tables/conversion_table.h"
#include "tables/tests/table_entries.h"

namespace ostrevin {
namespace {

using testing::AllEntries;
using testing::Entries;

TEST(ConversionTable, NulEndsAnAddedField) {
  ConversionTable table;
  table.Add(std::string("x\0y", 3), std::string("\0z", 2));
  table.AddCommand(std::string("s/a/b/\0c", 8));
  EXPECT_EQ(AllEntries(table), (Entries{{"x", ""}, {"s/a/b/", ""}}));
}

TEST(ConversionTable, TakesOverStorageAndDropsItsUnusedTail) {
  ConversionTable table(std::string("abcdeUNUSED"), {2, 3, 3, 5});
  // Entries added later follow the last field, not the unused bytes.
  table.Add("f", "g");
  EXPECT_EQ(AllEntries(table), (Entries{{"ab", "c"}, {"", "de"}, {"f", "g"}}));
  // A NUL after the last field is outside every field.
  EXPECT_EQ(AllEntries(ConversionTable(std::string("ab\0", 3), {1, 2})), (Entries{{"a", "b"}}));
}

TEST(ConversionTable, RefusesStorageThatBreaksItsLayout) {
  const std::pair<std::string, std::vector<std::size_t>> cases[] = {
      {"abc", {1, 2, 3}},                // an entry without its replacement
      {"abc", {2, 1}},                   // decreasing
      {"abc", {1, 4}},                   // past the bytes
      {std::string("a\0c", 3), {1, 3}},  // a NUL in a field
  };
  for (const auto& [bytes, ends] : cases) {
    EXPECT_THROW(ConversionTable(bytes, ends), std::invalid_argument) << ends.back();
  }
}

}  // namespace
}  // namespace ostrevin
