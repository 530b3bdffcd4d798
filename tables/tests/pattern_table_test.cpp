// Pattern-command table mode: commands in table order, the dispatch on "s"
// and "tr", the first faulty command's message, and the change flag.
#include "tables/pattern_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/testing/recording_host.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

constexpr const char* kContinue = "\n変換テーブルを通さずに処理を続行します。";

// What the message box of a faulty command shows.
std::string ErrorDialog(const std::string& engine_message, const std::string& command_utf8) {
  return "message[エラー/exclamation] " + engine_message + ": " + command_utf8 + kContinue;
}

struct TableRun {
  std::string text;
  bool changed = false;
  bool completed = false;
  std::vector<std::string> dialogs;
};

TableRun Apply(std::string text, const std::vector<std::string>& commands) {
  testing::RecordingHost host;
  TableRun run;
  run.completed = ApplyPatternTable(text, commands, host, run.changed);
  run.text = std::move(text);
  run.dialogs = host.Dialogs();
  return run;
}

// --- Commands that run -----------------------------------------------------

struct RunCase {
  const char* name;
  std::vector<std::string> commands;
  std::string input;
  std::string expected;
  bool changed;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class PatternTableRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(PatternTableRunTest, RunsEveryCommandInOrder) {
  const RunCase& c = GetParam();
  const TableRun run = Apply(c.input, c.commands);
  EXPECT_TRUE(run.completed);
  EXPECT_EQ(run.text, c.expected);
  EXPECT_EQ(run.changed, c.changed);
  EXPECT_TRUE(run.dialogs.empty()) << run.dialogs.front();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PatternTableRunTest,
    ::testing::Values(
        // Each command sees what the ones before it left.
        RunCase{"InTableOrder", {"s/a/b/g", "s/b/c/g"}, "abcab\n", "ccccc\n", true},
        // Without "g" only the first match of the whole file is replaced.
        RunCase{"WholeFileIsOneSubject", {"s/x/y/"}, "x\nx\nx\n", "y\nx\nx\n", true},
        RunCase{"MultiLineFlag", {"s/^/> /gm"}, "a\nb\n", "> a\n> b\n", true},
        RunCase{"NoMatch", {"s/q/z/g"}, "abc\n", "abc\n", false},
        RunCase{"Translate", {"tr/a-z/A-Z/"}, "abc 123\n", "ABC 123\n", true},
        // Counting alone still hands back a (same) text and counts as a change.
        RunCase{"TranslateThatOnlyCounts", {"tr/a-z//"}, "abc\n", "abc\n", true},
        RunCase{"TranslateNoMatch", {"tr/x/y/"}, "abc\n", "abc\n", false},
        RunCase{"ResultEmptiesTheText", {"s/[^x]*//"}, "abc\ndef\n", "", true},
        // Lines shorter than two bytes are skipped without a word.
        RunCase{"ShortLinesSkipped", {"", "s", "t", "#", "s/a/b/"}, "a", "b", true},
        // A negative count without a message (empty pattern, empty search
        // list) changes nothing; the table goes on.
        RunCase{"EmptyPatternGoesOn", {"s//x/", "s/a/b/"}, "aa", "ba", true},
        RunCase{"EmptyTranslateListGoesOn", {"tr///", "s/a/b/"}, "aa", "ba", true},
        RunCase{"EmptyPatternAloneChangesNothing", {"s//x/g", "tr///"}, "aa", "aa", false},
        RunCase{"EmptyTable", {}, "abc", "abc", false},
        // 0x95 0x5C 表 -> 0x83 0x5C ソ ("k": Shift-JIS, so the trail byte
        // 0x5C escapes nothing).
        RunCase{"ShiftJisCommand",
                {"s/\x95\x5C/\x83\x5C/gk"},
                "\x95\x5C\x95\x5C",
                "\x83\x5C\x83\x5C",
                true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The first faulty command ----------------------------------------------

struct FaultCase {
  const char* name;
  std::vector<std::string> commands;
  std::string input;
  std::string expected_text;  // what the commands before the faulty one left
  bool changed;
  std::string engine_message;
  std::string shown_command;  // the faulty command as UTF-8
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class PatternTableFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PatternTableFaultTest, ShowsOneMessageAndStops) {
  const FaultCase& c = GetParam();
  const TableRun run = Apply(c.input, c.commands);
  EXPECT_FALSE(run.completed);
  EXPECT_EQ(run.text, c.expected_text);
  EXPECT_EQ(run.changed, c.changed);
  EXPECT_EQ(run.dialogs, std::vector<std::string>{ErrorDialog(c.engine_message, c.shown_command)});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PatternTableFaultTest,
    ::testing::Values(
        FaultCase{
            "LeadingBlank", {" s/a/b/"}, "a", "a", false, "do not start 's' or 'tr'", " s/a/b/"},
        FaultCase{"MatchCommand", {"m/a/"}, "a", "a", false, "do not start 's' or 'tr'", "m/a/"},
        FaultCase{"SlashMatch", {"/a/"}, "a", "a", false, "do not start 's' or 'tr'", "/a/"},
        FaultCase{
            "TNotFollowedByR", {"ts/a/b/"}, "a", "a", false, "do not start 's' or 'tr'", "ts/a/b/"},
        FaultCase{"UnmatchedSeparator", {"s/a/b"}, "a", "a", false, "unmatch separater", "s/a/b"},
        FaultCase{"TrAlone", {"tr"}, "a", "a", false, "unmatch separater", "tr"},
        FaultCase{
            "UnmatchedParen", {"s/(a/b/"}, "a", "a", false, "unmatched () in regexp", "s/(a/b/"},
        // Earlier commands keep their work; later ones do not run.
        FaultCase{"StopsTheRest",
                  {"s/a/b/", "x/a/", "s/b/c/"},
                  "a",
                  "b",
                  true,
                  "do not start 's' or 'tr'",
                  "x/a/"},
        // Only the first faulty command of the text is reported.
        FaultCase{
            "OnlyTheFirstFault", {"q1", "q2"}, "a", "a", false, "do not start 's' or 'tr'", "q1"},
        // The engine refuses an empty text, for the first command of two bytes
        // or more.
        FaultCase{
            "EmptyText", {"s", "s/^/x/"}, "", "", false, "invalid target parameter", "s/^/x/"},
        FaultCase{"EmptyTextTranslate",
                  {"tr/a/b/"},
                  "",
                  "",
                  false,
                  "invalid target parameter",
                  "tr/a/b/"},
        // A command that backtracks without end is stopped by the engine;
        // the text keeps what the commands before it made.
        FaultCase{"TooComplex",
                  {"s/-/+/", "s/(\\w+)*d$/x/", "s/a/b/"},
                  std::string(29, 'a') + "-d",
                  std::string(29, 'a') + "+d",
                  true,
                  "regexp too complex for text",
                  "s/(\\w+)*d$/x/"},
        // The command is shown decoded from code page 932: 0x95 0x5C 表.
        FaultCase{"CommandShownAsUtf8",
                  {" s/\x95\x5C/x/"},
                  "a",
                  "a",
                  false,
                  "do not start 's' or 'tr'",
                  " s/表/x/"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Each file on its own --------------------------------------------------

TEST(PatternTableTest, FaultIsReportedAgainForEveryText) {
  const std::vector<std::string> commands = {"s/a/b/", "s/(/x/"};
  testing::RecordingHost host;
  for (int file = 0; file < 3; ++file) {
    std::string text = "a";
    bool changed = false;
    EXPECT_FALSE(ApplyPatternTable(text, commands, host, changed));
    EXPECT_EQ(text, "b");
    EXPECT_TRUE(changed);
  }
  EXPECT_EQ(host.Dialogs().size(), 3u);
}

TEST(PatternTableTest, ChangeFlagIsNeverCleared) {
  std::string text = "abc";
  testing::RecordingHost host;
  bool changed = true;
  EXPECT_TRUE(ApplyPatternTable(text, {"s/q/z/"}, host, changed));
  EXPECT_TRUE(changed);
}

// A record is compiled from each command afresh: the same command over two
// texts gives each its own result.
TEST(PatternTableTest, SameTableOverTwoTexts) {
  const std::vector<std::string> commands = {"s/(\\w+)/<$1>/g"};
  testing::RecordingHost host;
  bool changed = false;
  std::string first = "ab cd";
  std::string second = "xyz";
  EXPECT_TRUE(ApplyPatternTable(first, commands, host, changed));
  EXPECT_TRUE(ApplyPatternTable(second, commands, host, changed));
  EXPECT_EQ(first, "<ab> <cd>");
  EXPECT_EQ(second, "<xyz>");
}

// --- NUL bytes in a result -------------------------------------------------

// A command may put a NUL byte into the text: the whole result is kept (not
// cut at the NUL), and the table stops, since no engine call may be given a
// text with a NUL inside. The pipeline then refuses the file.
TEST(PatternTableTest, NulInTheResultIsKeptWholeAndStopsTheTable) {
  const TableRun run = Apply("axb", {R"(s/x/\0/)", "s/b/c/"});
  EXPECT_FALSE(run.completed);
  EXPECT_TRUE(run.changed);
  EXPECT_EQ(run.text, std::string("a\0b", 3));
  EXPECT_TRUE(run.dialogs.empty());
}

// --- Through ApplyConversionTable ------------------------------------------

TEST(PatternTableTest, ConversionTableDispatchesOnRegExp) {
  ConversionTable table;
  table.search = {"s/a/b/g"};
  testing::RecordingHost host;

  std::string text = "aa";
  bool changed = false;
  EXPECT_TRUE(ApplyConversionTable(text, table, 1, host, changed));
  EXPECT_EQ(text, "bb");
  EXPECT_TRUE(changed);

  // Any value but 0 is pattern mode.
  text = "aa";
  EXPECT_TRUE(ApplyConversionTable(text, table, 7, host, changed));
  EXPECT_EQ(text, "bb");

  table.search = {"x/a/"};
  changed = false;
  text = "aa";
  EXPECT_FALSE(ApplyConversionTable(text, table, 1, host, changed));
  EXPECT_FALSE(changed);
  EXPECT_EQ(host.Dialogs().size(), 1u);
}

}  // namespace
}  // namespace ostrevin
