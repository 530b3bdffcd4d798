// Runs every line of table_cases.txt: field unescaping, table loading and
// both table modes over a text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/testing/case_file.h"
#include "core/testing/hex.h"
#include "core/testing/recording_host.h"
#include "core/testing/scratch_folder.h"
#include "tables/conversion_table.h"
#include "tables/tests/table_entries.h"

namespace ostrevin {
namespace {

using testing::AllEntries;
using testing::Case;
using testing::Entries;
using testing::Hex;

// Fields `first` and on, as (search, replacement) pairs, or as commands with
// empty replacements when `pairs` is false.
Entries EntriesFrom(const Case& c, std::size_t first, bool pairs) {
  Entries out;
  for (std::size_t i = first; i < c.size(); i += pairs ? 2 : 1) {
    out.emplace_back(c.Bytes(i), pairs && i + 1 < c.size() ? c.Bytes(i + 1) : "");
  }
  return out;
}

TEST(TableCases, FromTheCaseFile) {
  testing::ScratchFolder folder;
  for (const Case& c : testing::ReadCases(OSTREVIN_TEST_DIR "/table_cases.txt")) {
    const testing::CaseTrace trace(c);
    const std::string& kind = c[0];
    testing::RecordingHost host;
    if (kind == "unescape" && c.Has(3)) {
      std::string field = c.Bytes(1);
      UnescapeTableField(field);
      EXPECT_EQ(Hex(field), Hex(c.Bytes(2)));
    } else if (kind == "load" && c.HasAtLeast(3)) {
      const bool pattern_mode = c[1] == "pattern";
      ConversionTable table;
      EXPECT_TRUE(
          LoadConversionTable(folder.Write("table.txt", c.Bytes(2)), pattern_mode, table, host));
      EXPECT_EQ(AllEntries(table), EntriesFrom(c, 3, !pattern_mode));
    } else if ((kind == "simple" || kind == "pattern") && c.HasAtLeast(4)) {
      const bool pattern_mode = kind == "pattern";
      ConversionTable table;
      for (const auto& [search, replacement] : EntriesFrom(c, pattern_mode ? 6 : 4, !pattern_mode))
        pattern_mode ? table.AddCommand(search) : table.Add(search, replacement);
      // Any RegExp value but 0 runs the commands.
      const int reg_exp = pattern_mode ? -1 : 0;
      std::string text = c.Bytes(1);
      bool changed = false;
      const bool completed = ApplyConversionTable(text, table, reg_exp, host, changed);
      EXPECT_EQ(Hex(text), Hex(c.Bytes(2)));
      EXPECT_EQ(changed, c[3] == "y");
      // The flag is the file's: a table that changes nothing never clears it.
      testing::RecordingHost again_host;
      std::string again = c.Bytes(1);
      bool still = true;
      (void)ApplyConversionTable(again, table, reg_exp, again_host, still);
      EXPECT_TRUE(still);
      const bool faulty = pattern_mode && !c[4].empty();
      EXPECT_EQ(completed, !faulty);
      if (faulty) {
        ASSERT_EQ(host.calls.size(), 1u);
        EXPECT_EQ(host.calls[0], "message[エラー/exclamation] " + c.Bytes(4) + ": " + c.Bytes(5) +
                                     "\n変換テーブルを通さずに処理を続行します。");
        continue;
      }
    } else {
      // A known kind with the wrong number of fields was reported above.
      if (kind != "unescape" && kind != "load" && kind != "simple" && kind != "pattern") {
        ADD_FAILURE() << c.Where() << ": unknown kind " << kind;
      }
      continue;
    }
    EXPECT_EQ(host.calls, std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace ostrevin
