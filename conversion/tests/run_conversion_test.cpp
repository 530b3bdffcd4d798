// The batch run: the exact sequence of host calls, output paths by option,
// the table loaded once, and files replaced in place at most once. (A file
// error that ends the run is in fault_injection_test.cpp.)
#include "conversion/run_conversion.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/tests/pipeline_fixture.h"

namespace ostrevin {
namespace {

using testing::Hex;
using testing::ReadFile;
using testing::WriteFile;
using Calls = std::vector<std::string>;

class RunConversionTest : public testing::PipelineTest {
 protected:
  RunConversionTest() { options.Destination = dir.Folder("out"); }
};

// --- Refusals before the run -------------------------------------------------
TEST_F(RunConversionTest, EmptyListShowsErrorOnly) {
  const RunSummary summary = RunConversion({}, options, host);
  EXPECT_EQ(summary.outcome, RunOutcome::kEmptyList);
  EXPECT_EQ(host.calls, (Calls{"message[エラー/none] 変換元ファイルがリストにありません"}));
}

TEST_F(RunConversionTest, DeclinedConfirmationChangesNothing) {
  dir.Write("a", "a\n");
  options.UseTable = true;
  options.TablePath = dir / "missing-table";  // loading it would show a message
  const RunSummary summary = RunConversion({dir / "a"}, options, host);
  EXPECT_EQ(summary.outcome, RunOutcome::kDeclined);
  EXPECT_EQ(host.calls, (Calls{"ask[確認/question] 変換を実行します。よろしいですか？"}));
  EXPECT_FALSE(testing::Exists(dir / "out/a"));
}

// --- The whole sequence of calls ------------------------------------------------
TEST_F(RunConversionTest, CallsInOrderWithAFailedEntry) {
  dir.Write("a", "a\n");
  host.answers = {true};
  const std::vector<std::string> files = {dir / "a", dir / "b"};
  const RunSummary summary = RunConversion(files, options, host);
  const Calls expected = {
      "ask[確認/question] 変換を実行します。よろしいですか？",
      "range 0..2",
      "position 0",
      "status " + (dir / "a") + " -> " + (dir / "out/a"),
      "busy on",
      "busy off",
      "position 0",
      "status " + (dir / "b") + " -> " + (dir / "out/b"),
      "busy on",
      "message[エラー/exclamation] 変換元ファイルをオープンできません。(Error:2)",
      "busy off",
      "status 変換エラー！",
      "position 1",
      "beep",
      "status 変換終了！",
      "position 2",
  };
  EXPECT_EQ(host.calls, expected);
  EXPECT_EQ(summary.outcome, RunOutcome::kFinished);
  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(dir.Read("out/a"), "a\r\n");
}

// --- Output paths by option ------------------------------------------------------
TEST_F(RunConversionTest, OutputPathByOption) {
  struct Case {
    bool over_write;
    bool delete_html;
    std::string destination;
    std::string expected;
  };
  const std::string in = dir / "page.htm";
  const std::vector<Case> cases = {
      {false, false, dir / "out", dir / "out/page.htm"},
      {false, true, dir / "out", dir / "out/page.htm.txt"},
      {true, false, dir / "out", in},
      {true, true, dir / "out", in + ".txt"},
      {false, false, dir / "out/", dir / "out/page.htm"},  // no second separator
  };
  for (const auto& c : cases) {
    WriteFile(in, "<p>\r\n");
    options.OverWrite = c.over_write;
    options.DeleteHTMLTag = c.delete_html;
    options.Destination = c.destination;
    host.calls.clear();
    host.answers = {true, true};
    (void)RunConversion({in}, options, host);
    ASSERT_GE(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[3], "status " + in + " -> " + c.expected);
    // With HTML stripping the tag is gone.
    EXPECT_EQ(ReadFile(c.expected), c.delete_html ? "\r\n" : "<p>\r\n");
  }
}

TEST_F(RunConversionTest, EmptyDestinationIsTheCurrentFolder) {
  dir.Write("a", "a\n");
  options.Destination.clear();
  const std::string saved = std::filesystem::current_path();
  std::filesystem::current_path(dir / "out");
  const RunSummary summary = RunConversion({dir / "a"}, options, host, RunConfirmation::kSkip);
  std::filesystem::current_path(saved);
  EXPECT_EQ(summary.written, 1u);
  // Without the confirmation (kSkip) the status line is the third call.
  EXPECT_EQ(host.calls[2], "status " + (dir / "a") + " -> a");
  EXPECT_EQ(dir.Read("out/a"), "a\r\n");
}

// --- The table ---------------------------------------------------------------------
TEST_F(RunConversionTest, TableIsLoadedOnceAndApplied) {
  dir.Write("table.txt", "# comment\ncat\tdog\n");
  dir.Write("a", "cat\r\n");
  dir.Write("b", "a cat\r\n");
  dir.Write("c", "no pet\r\n");
  options.UseTable = true;
  options.TablePath = dir / "table.txt";
  options.NoOutput = true;
  const RunSummary summary =
      RunConversion({dir / "a", dir / "b", dir / "c"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(summary.unchanged, 1u);
  EXPECT_EQ(dir.Read("out/a"), "dog\r\n");
  EXPECT_EQ(dir.Read("out/b"), "a dog\r\n");
  EXPECT_FALSE(testing::Exists(dir / "out/c"));
}

// Loaded once for the run: a table that cannot be read is reported once.
TEST_F(RunConversionTest, MissingTableIsReportedOnceAndTheRunGoesOn) {
  dir.Write("a", "cat\r\n");
  dir.Write("b", "cat\r\n");
  options.UseTable = true;
  options.TablePath = dir / "no-table.txt";
  const RunSummary summary =
      RunConversion({dir / "a", dir / "b"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 2u);
  ASSERT_EQ(host.Dialogs().size(), 1u);
  EXPECT_TRUE(host.Dialogs()[0].starts_with("message[エラー/exclamation] 変換テーブルファイル"));
  EXPECT_EQ(dir.Read("out/b"), "cat\r\n");
}

// --- A file is replaced in place at most once -------------------------------------
TEST_F(RunConversionTest, SameSourceTwiceIsConvertedOnce) {
  options.OverWrite = true;
  options.KanjiConvert = true;
  options.KanjiCode = 1;  // forced EUC: a second pass would garble the text
  dir.Write("e.txt", "\xa4\xa2\n");
  ASSERT_EQ(symlink("e.txt", (dir / "link").c_str()), 0);
  const std::vector<std::string> files = {dir / "e.txt", dir / "e.txt", dir / "link"};
  const RunSummary summary = RunConversion(files, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(summary.already_replaced, 2u);
  EXPECT_EQ(Hex(dir.Read("e.txt")), Hex("\x82\xa0\r\n"));
  // Each entry still shows its status line; only the first one converts.
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "busy on"), 1);
  EXPECT_EQ(std::count_if(host.calls.begin(), host.calls.end(),
                          [](const std::string& c) { return c.find(" -> ") != c.npos; }),
            3);
}

TEST_F(RunConversionTest, DestinationEqualToTheSourceFolderAsksAboutTheSource) {
  options.Destination = dir.path();
  options.KanjiConvert = true;
  options.KanjiCode = 1;
  dir.Write("e.txt", "\xa4\xa2\n");
  host.answers = {true, true};
  const RunSummary summary =
      RunConversion({dir / "e.txt", dir / "e.txt"}, options, host, RunConfirmation::kSkip);
  // One question, naming the source itself; the second entry is not converted again.
  EXPECT_EQ(host.Dialogs(), (Calls{"ask[確認/question] " + (dir / "e.txt") +
                                   " は上書きされます。よろしいですか？"}));
  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(summary.already_replaced, 1u);
  EXPECT_EQ(Hex(dir.Read("e.txt")), Hex("\x82\xa0\r\n"));
}

TEST_F(RunConversionTest, OutputToAnotherFolderIsNotAnInPlaceReplacement) {
  options.KanjiConvert = true;
  options.KanjiCode = 1;
  dir.Write("e.txt", "\xa4\xa2\n");
  const RunSummary summary =
      RunConversion({dir / "e.txt", dir / "e.txt"}, options, host, RunConfirmation::kSkip);
  // The second entry overwrites out/e.txt (asked, declined by the empty queue).
  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(Hex(dir.Read("e.txt")), Hex("\xa4\xa2\n"));
}

}  // namespace
}  // namespace ostrevin
