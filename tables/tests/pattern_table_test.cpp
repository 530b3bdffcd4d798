// Pattern-command table mode beyond table_cases.txt: long commands in the
// message, tables run afresh per text, and a NUL put into the text.
#include "tables/pattern_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/testing/recording_host.h"

namespace ostrevin {
namespace {

using Commands = std::vector<std::string>;

ConversionTable Table(const Commands& commands) {
  ConversionTable table;
  for (const std::string& command : commands) table.AddCommand(command);
  return table;
}

std::string A(std::size_t n) { return std::string(n, 'a'); }

// What the message box of a faulty command shows.
std::string ErrorDialog(const std::string& engine_message, const std::string& command_utf8) {
  return "message[エラー/exclamation] " + engine_message + ": " + command_utf8 +
         "\n変換テーブルを通さずに処理を続行します。";
}

struct TableRun {
  std::string text;
  bool changed = false;
  bool completed = false;
  std::vector<std::string> dialogs;
};

TableRun Apply(std::string text, const Commands& commands) {
  testing::RecordingHost host;
  TableRun run;
  run.completed = ApplyPatternTable(text, Table(commands), host, run.changed);
  run.text = std::move(text);
  run.dialogs = host.Dialogs();
  return run;
}

TEST(PatternTable, LongCommandsAreCutInTheMessage) {
  struct Case {
    const char* name;
    Commands commands;
    std::string input;
    std::string expected_text;  // what the commands before the faulty one left
    bool changed;
    std::string engine_message;
    std::string shown_command;  // the faulty command as UTF-8
  };
  // The other faulty commands are in table_cases.txt.
  const std::string kNotSOrTr = "do not start 's' or 'tr'";
  const std::vector<Case> cases = {
      // A long command is cut after 200 bytes, never inside a character.
      {"command_of_200_bytes_whole", {"x" + A(199)}, "a", "a", false, kNotSOrTr, "x" + A(199)},
      {"long_command_cut", {"x" + A(300)}, "a", "a", false, kNotSOrTr, "x" + A(199) + "…"},
      {"cut_before_a_character",
       {"x" + A(198) + "\x95\x5C" + A(10)},  // 表 at bytes 199-200
       "a",
       "a",
       false,
       kNotSOrTr,
       "x" + A(198) + "…"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TableRun run = Apply(c.input, c.commands);
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(run.text, c.expected_text);
    EXPECT_EQ(run.changed, c.changed);
    EXPECT_EQ(run.dialogs, Commands{ErrorDialog(c.engine_message, c.shown_command)});
  }
}

// Each command is compiled afresh for each text: results and faults do not
// carry over from one text to the next.
TEST(PatternTable, EachTextRunsTheTableAfresh) {
  const ConversionTable table = Table({"s/(\\w+)/<$1>/g", "s/q/z/", "s/(/x/"});
  testing::RecordingHost host;
  const std::pair<std::string, std::string> texts[] = {
      {"ab cd", "<ab> <cd>"}, {"xyz", "<xyz>"}, {"ab cd", "<ab> <cd>"}};
  for (const auto& [input, expected] : texts) {
    std::string text = input;
    bool changed = false;
    EXPECT_FALSE(ApplyPatternTable(text, table, host, changed));
    EXPECT_EQ(text, expected);
    EXPECT_TRUE(changed);
  }
  EXPECT_EQ(host.Dialogs().size(), 3u);
  // A command that changes nothing never clears the flag.
  std::string text = "abc";
  bool changed = true;
  EXPECT_TRUE(ApplyPatternTable(text, Table({"s/q/z/"}), host, changed));
  EXPECT_TRUE(changed);
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
