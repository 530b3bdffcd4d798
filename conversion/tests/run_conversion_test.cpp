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
  const RunSummary summary = RunConversion(std::vector<std::string>{}, options, host);
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

// --- Output paths ----------------------------------------------------------------
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
  EXPECT_TRUE(summary.table_unreadable);
  EXPECT_EQ(summary.warned, 0u);
  ASSERT_EQ(host.Dialogs().size(), 1u);
  EXPECT_TRUE(host.Dialogs()[0].starts_with("message[エラー/exclamation] 変換テーブルファイル"));
  EXPECT_EQ(dir.Read("out/b"), "cat\r\n");
}

// --- A source listed again is done already, in every mode --------------------------
TEST_F(RunConversionTest, SameSourceListedAgainIsDoneAlready) {
  struct Case {
    const char* name;
    bool over_write;
    bool delete_html;
    bool destination_is_the_source_folder;
    const char* output;  // below the scratch folder
    std::size_t questions;
  };
  const std::vector<Case> cases = {
      {"in place", true, false, false, "e.txt", 0},
      {"beside the source", true, true, false, "e.txt.txt", 0},
      {"destination", false, false, false, "out/e.txt", 0},
      // The output is the source itself: asked about once, for the first entry.
      {"destination is the source folder", false, false, true, "e.txt", 1},
  };
  options.KanjiConvert = true;
  options.KanjiCode = 1;  // forced EUC: a second pass would garble the text
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir / "out");
    std::filesystem::create_directory(dir / "out");
    dir.Write("e.txt", "\xa4\xa2\n");  // EUC あ
    unlink((dir / "link").c_str());
    ASSERT_EQ(symlink("e.txt", (dir / "link").c_str()), 0);
    options.OverWrite = c.over_write;
    options.DeleteHTMLTag = c.delete_html;
    options.Destination = c.destination_is_the_source_folder ? dir.path().string() : dir / "out";
    host.calls.clear();
    host.answers = {true};
    const std::vector<std::string> files = {dir / "e.txt", dir / "e.txt", dir / "link"};
    const RunSummary summary = RunConversion(files, options, host, RunConfirmation::kSkip);
    EXPECT_EQ(summary.written, 1u) << c.name;
    EXPECT_EQ(summary.repeated, 2u) << c.name;
    EXPECT_EQ(summary.failed, 0u) << c.name;
    EXPECT_EQ(host.Dialogs().size(), c.questions) << c.name;
    EXPECT_EQ(Hex(dir.Read(c.output)), Hex("\x82\xa0\r\n")) << c.name;  // SJIS あ
    // Each entry still shows its status line; only the first one converts.
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "busy on"), 1) << c.name;
    EXPECT_EQ(std::count_if(host.calls.begin(), host.calls.end(),
                            [](const std::string& call) { return call.find(" -> ") != call.npos; }),
              3)
        << c.name;
  }
}

// --- The overwrite question answered for the rest of the run ------------------------
TEST_F(RunConversionTest, AnswerForAllDecidesTheLaterQuestions) {
  const struct {
    std::vector<Answer> answers;
    std::size_t questions;
    const char* outputs;  // of a, b, c: "k" kept, "n" new
  } rows[] = {
      {{Answer::kNo, Answer::kYesToAll}, 2, "knn"},
      {{Answer::kYes, Answer::kNoToAll}, 2, "nkk"},
      {{Answer::kYesToAll}, 1, "nnn"},
  };
  std::vector<std::string> files;
  for (const char* name : {"a", "b", "c"}) files.push_back(dir.Write(name, "new\n"));
  for (const auto& row : rows) {
    for (const char* name : {"out/a", "out/b", "out/c"}) dir.Write(name, "kept");
    host.calls.clear();
    host.answers_for_all.assign(row.answers.begin(), row.answers.end());
    (void)RunConversion(files, options, host, RunConfirmation::kSkip);
    EXPECT_EQ(host.Dialogs().size(), row.questions) << row.outputs;
    std::string outputs;
    for (const char* name : {"out/a", "out/b", "out/c"}) {
      outputs += dir.Read(name) == "kept" ? 'k' : 'n';
    }
    EXPECT_EQ(outputs, row.outputs);
  }
  // Every run asks afresh: an answer holds for its own run only.
  host.calls.clear();
  (void)RunConversion(files, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(host.Dialogs().size(), 3u);
}

// --- No output replaced by another output of the same run ---------------------------
TEST_F(RunConversionTest, SameOutputIsRefusedBeforeTheFirstFile) {
  for (const char* folder : {"a", "b", "c"}) {
    std::filesystem::create_directory(dir / folder);
    dir.Write(std::string(folder) + "/x.txt", std::string(folder) + "\n");
  }
  dir.Write("y.txt", "y\n");
  // a/x.txt twice: a repeat is not a collision; b and c would replace out/x.txt.
  const std::vector<std::string> files = {dir / "a/x.txt", dir / "a/x.txt", dir / "b/x.txt",
                                          dir / "c/x.txt", dir / "y.txt"};
  const RunSummary summary = RunConversion(files, options, host, RunConfirmation::kSkip);
  const std::string message =
      "%1 は、この変換で既に出力したファイルと同じ名前になるため、変換しません。";
  const auto status = [&](const char* from, const char* to) {
    return "status " + (dir / from) + " -> " + (dir / to);
  };
  const Calls expected = {
      "range 0..5",
      "position 0",
      "each[エラー/exclamation] " + message + " | " + (dir / "b/x.txt") + " | " + (dir / "c/x.txt"),
      status("a/x.txt", "out/x.txt"),
      "busy on",
      "busy off",
      "position 0",
      status("a/x.txt", "out/x.txt"),
      "position 1",
      status("b/x.txt", "out/x.txt"),
      "status 変換エラー！",
      "position 2",
      status("c/x.txt", "out/x.txt"),
      "status 変換エラー！",
      "position 3",
      status("y.txt", "out/y.txt"),
      "busy on",
      "busy off",
      "position 4",
      "beep",
      "status 変換終了！",
      "position 5",
  };
  EXPECT_EQ(host.calls, expected);
  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(summary.repeated, 1u);
  EXPECT_EQ(summary.failed, 2u);
  EXPECT_EQ(dir.Read("out/x.txt"), "a\r\n");
}

// Outputs that do not exist yet are compared by the place they name: other
// spellings of a place taken by an earlier entry are refused, whichever
// spelling of its folder came first.
TEST_F(RunConversionTest, NewOutputsSpelledDifferentlyAreOnePlace) {
  std::filesystem::create_directory(dir / "out/real");
  ASSERT_EQ(symlink("real", (dir / "out/link").c_str()), 0);
  const std::vector<std::pair<const char*, PlannedKind>> cases = {
      {"link/x.txt", PlannedKind::kConvert},      {"real/x.txt", PlannedKind::kSameOutput},
      {"real/./x.txt", PlannedKind::kSameOutput}, {"link/../real/x.txt", PlannedKind::kSameOutput},
      {"real/y.txt", PlannedKind::kConvert},      {"real/../link/y.txt", PlannedKind::kSameOutput},
      {"link/../x.txt", PlannedKind::kConvert},   {"x.txt", PlannedKind::kSameOutput},
  };
  std::vector<RunEntry> entries;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    entries.push_back({dir.Write("s" + std::to_string(i), "s\n"), cases[i].first});
  }
  const std::vector<PlannedEntry> plan = PlanRun(entries, options);
  ASSERT_EQ(plan.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(plan[i].kind, cases[i].second) << cases[i].first;
  }
}

// Two output names for one file: told by its identity before the run, or, when
// the file does not exist yet, when the second entry comes to it.
TEST_F(RunConversionTest, OutputsThatNameOneFile) {
  struct Case {
    const char* name;
    int (*make)(const char* target, const char* path);
    const char* target;
    bool before_the_run;
  };
  const std::vector<Case> cases = {
      {"hard link", link, "out/x.txt", true},
      {"symbolic link", symlink, "x.txt", true},
      {"symbolic link to a file not yet written", symlink, "x.txt", false},
  };
  dir.Folder("in");
  dir.Write("in/x.txt", "x\n");
  dir.Write("in/y.txt", "y\n");
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir / "out");
    std::filesystem::create_directory(dir / "out");
    if (c.before_the_run) dir.Write("out/x.txt", "old");
    const std::string target = c.make == link ? dir / c.target : std::string(c.target);
    ASSERT_EQ(c.make(target.c_str(), (dir / "out/y.txt").c_str()), 0) << c.name;
    host.calls.clear();
    host.answers = {true};  // replace the old out/x.txt
    const RunSummary summary =
        RunConversion({dir / "in/x.txt", dir / "in/y.txt"}, options, host, RunConfirmation::kSkip);
    EXPECT_EQ(summary.written, 1u) << c.name;
    EXPECT_EQ(summary.failed, 1u) << c.name;
    EXPECT_EQ(dir.Read("out/x.txt"), "x\r\n") << c.name;
    const std::string y = dir / "in/y.txt";
    const std::string tail =
        " は、この変換で既に出力したファイルと同じ名前になるため、変換しません。";
    const auto dialogs = host.Dialogs();
    ASSERT_FALSE(dialogs.empty()) << c.name;
    EXPECT_EQ(dialogs.front(), c.before_the_run ? "each[エラー/exclamation] %1" + tail + " | " + y
                                                : "message[エラー/exclamation] " + y + tail)
        << c.name;
  }
}

}  // namespace
}  // namespace ostrevin
