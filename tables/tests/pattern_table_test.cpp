// Pattern-command table mode beyond table_cases.txt: long commands in the
// message, a NUL put into the text, and shared passes of literal commands.
#include "tables/pattern_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/testing/recording_host.h"

namespace ostrevin {
namespace {

using Commands = std::vector<std::string>;

std::string A(std::size_t n) { return std::string(n, 'a'); }

struct TableRun {
  std::string text;
  bool changed = false;
  bool completed = false;
  std::vector<std::string> dialogs;
};

TableRun Apply(std::string text, const Commands& commands) {
  ConversionTable table;
  for (const std::string& command : commands) table.AddCommand(command);
  testing::RecordingHost host;
  TableRun run;
  run.completed = ApplyPatternTable(text, table, host, run.changed);
  run.text = std::move(text);
  run.dialogs = host.Dialogs();
  return run;
}

// A long command is cut after 200 bytes, never inside a character (the
// other faulty commands are in table_cases.txt).
TEST(PatternTable, LongCommandsAreCutInTheMessage) {
  const std::pair<std::string, std::string> cases[] = {
      {"x" + A(199), "x" + A(199)},
      {"x" + A(300), "x" + A(199) + "…"},
      {"x" + A(198) + "\x95\x5C" + A(10), "x" + A(198) + "…"},  // 表 at bytes 199-200
  };
  for (const auto& [command, shown] : cases) {
    const TableRun run = Apply("a", {command});
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(run.text, "a");
    EXPECT_FALSE(run.changed);
    EXPECT_EQ(run.dialogs, Commands{"message[エラー/exclamation] do not start 's' or 'tr': " +
                                    shown + "\n変換テーブルを通さずに処理を続行します。"});
  }
}

// A command may put a NUL byte into the text: the whole result is kept (not
// cut at the NUL), and the table stops, since no engine call may be given a
// text with a NUL inside. The pipeline then refuses the file.
TEST(PatternTable, NulInTheResultIsKeptWholeAndStopsTheTable) {
  const TableRun run = Apply("axb", {R"(s/x/\0/)", "s/b/c/"});
  EXPECT_FALSE(run.completed);
  EXPECT_TRUE(run.changed);
  EXPECT_EQ(run.text, std::string("a\0b", 3));
  EXPECT_TRUE(run.dialogs.empty());
}

// Runs of literal commands share one pass: the table against the same
// commands run one table line at a time, on random texts and tables whose
// commands are mostly literal, over few distinct bytes so that occurrences
// overlap, replacements feed later search strings and trail bytes (0x82 is
// a lead byte) stand where a search string begins.
TEST(PatternTable, LiteralRunsAgreeWithOneCommandAtATime) {
  const std::vector<std::string> bytes = {"a", "b", "c", "\x82", "-", " "};
  std::mt19937 random(77);
  auto pick = [&](std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += bytes[random() % bytes.size()];
    return s;
  };
  for (int round = 0; round < 5000; ++round) {
    Commands commands;
    const int count = 2 + static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) {
      const unsigned kind = random() % 8;
      const std::string search = pick(1 + random() % 3);
      if (kind == 0) {
        commands.push_back("s/" + search + "+/" + pick(random() % 2) + "/g");  // not literal
      } else if (kind == 1) {
        commands.push_back("s/" + search + "/" + pick(random() % 3) + "/");  // without "g"
      } else if (kind == 2) {
        commands.push_back("s");  // skipped
      } else {
        commands.push_back("s/" + search + "/" + pick(random() % 3) + "/g");
      }
    }
    const std::string input = pick(random() % 40);
    const TableRun whole = Apply(input, commands);
    TableRun steps{input, false, true, {}};
    for (const std::string& command : commands) {
      const TableRun step = Apply(steps.text, {command});
      steps.text = step.text;
      steps.changed = steps.changed || step.changed;
      steps.dialogs.insert(steps.dialogs.end(), step.dialogs.begin(), step.dialogs.end());
      if (!step.completed) break;  // a faulty command stops the table
      // A text emptied on the way makes the whole table's next command fail
      // where a table of one line would not run at all: not comparable.
      if (steps.text.empty()) break;
    }
    if (steps.text.empty()) continue;
    std::string table;
    for (const std::string& command : commands) table += command + " | ";
    ASSERT_EQ(whole.text, steps.text) << table << "on \"" << input << "\"";
    ASSERT_EQ(whole.changed, steps.changed) << table << "on \"" << input << "\"";
    ASSERT_EQ(whole.dialogs, steps.dialogs) << table << "on \"" << input << "\"";
  }
}

}  // namespace
}  // namespace ostrevin
