// Whole files through every stage: ConvertFile and the batch run with code
// conversion, line ends, HTML stripping and a pattern-command table, and the
// built `ostrevin-cli convert`.
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/convert_file.h"
#include "conversion/run_conversion.h"
#include "conversion/tests/pipeline_fixture.h"
#include "core/testing/run_command.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

using testing::Exists;
using testing::Hex;
using testing::ReadFile;
using testing::WriteFile;
using Dialogs = std::vector<std::string>;

constexpr const char* kContinue = "\n変換テーブルを通さずに処理を続行します。";

std::string TableError(const std::string& engine_message, const std::string& command) {
  return "message[エラー/exclamation] " + engine_message + ": " + command + kContinue;
}

// An HTML page in Japanese EUC with LF line ends: あ (EUC 0xA4 0xA2), tags,
// entities, an escaped tag and a run of empty lines.
const std::string kEucPage =
    "<html>\n<body>\n<p>\xA4\xA2 &amp; b&lt;i&gt;c&lt;/i&gt;</p>\n\n\n\n"
    "<p>x&NBSP;y &copy;</p>\n</body>\n</html>\n";

// The table: a comment, あ -> い (Shift-JIS 0x82 0xA0 -> 0x82 0xA2) and upper
// case for ASCII letters. CR LF line ends, as written on the desktop.
const std::string kTable =
    "# sample\r\n"
    "s/\x82\xA0/\x82\xA2/gk\r\n"
    "tr/a-z/A-Z/\r\n";

// Every stage on: EUC -> Shift-JIS, LF -> CR LF, tags, entities, the empty
// lines, then the table.
const std::string kExpectedPage = "\r\n\r\n\x82\xA2 & B<I>C</I>\r\n\r\nX Y &COPY;\r\n\r\n";

class EndToEndTest : public testing::PipelineTest {
 protected:
  void SetUp() override {
    options.KanjiConvert = true;
    options.KanjiCode = 0;
    options.DeleteHTMLTag = true;
    options.UseTable = true;
    options.RegExp = 1;
    options.TablePath = dir / "table.txt";
    options.Destination = dir.path();
    options.OverWrite = false;
  }

  void WriteTable(const std::string& lines) { WriteFile(options.TablePath, lines); }

  // ConvertOneFile with the table loaded from the table file.
  FileOutcome Convert(const std::string& source, const std::string& output) {
    ConversionRun run(options, host);
    EXPECT_TRUE(LoadConversionTable(options.TablePath, options.RegExp != 0, run.table, host));
    const FileOutcome outcome = ConvertOneFile(run, source, output);
    changed = run.changed;
    return outcome;
  }

  bool changed = false;
};

// --- Every stage, through the batch run ------------------------------------

TEST_F(EndToEndTest, EveryStageInOrder) {
  WriteFile(dir / "page.htm", kEucPage);
  WriteTable(kTable);
  options.Destination = dir / "out";
  ASSERT_EQ(mkdir(options.Destination.c_str(), 0700), 0);

  const RunSummary summary =
      RunConversion({dir / "page.htm"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 1u);
  // HTML stripping appends ".txt" to the output name.
  EXPECT_EQ(ReadFile(dir / "out/page.htm.txt"), kExpectedPage)
      << Hex(ReadFile(dir / "out/page.htm.txt"));
  EXPECT_FALSE(Exists(dir / "out/page.htm"));
  EXPECT_EQ(host.Dialogs(), Dialogs{});
}

// --- The change flag with NoOutput -----------------------------------------

struct NoOutputCase {
  const char* name;
  std::string source;
  std::string table;
  bool changed;
};

void PrintTo(const NoOutputCase& c, std::ostream* os) { *os << c.name; }

class EndToEndNoOutputTest : public EndToEndTest,
                             public ::testing::WithParamInterface<NoOutputCase> {};

TEST_P(EndToEndNoOutputTest, WritesOnlyWhatAStageChanged) {
  const NoOutputCase& c = GetParam();
  options.NoOutput = true;
  WriteFile(dir / "in", c.source);
  WriteTable(c.table);
  const FileOutcome outcome = Convert(dir / "in", dir / "in.txt");
  EXPECT_EQ(changed, c.changed);
  EXPECT_EQ(outcome, c.changed ? FileOutcome::kWritten : FileOutcome::kUnchanged);
  EXPECT_EQ(Exists(dir / "in.txt"), c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndToEndNoOutputTest,
    ::testing::Values(NoOutputCase{"NothingToDo", "plain\r\n\r\ntext > x\r\n", "s/q/z/g\ntr/Q/q/\n",
                                   false},
                      NoOutputCase{"OnlyATag", "a<br>\r\n", "s/q/z/g\n", true},
                      NoOutputCase{"OnlyAnEntity", "a&amp;b\r\n", "s/q/z/g\n", true},
                      NoOutputCase{"OnlyEmptyLines", "a\r\n\r\n\r\n\r\nb", "s/q/z/g\n", true},
                      NoOutputCase{"OnlyTheTable", "abc\r\n", "s/b/B/\n", true},
                      // A transliteration that only counts hands back the same text and
                      // still counts as a change.
                      NoOutputCase{"CountingTransliteration", "abc\r\n", "tr/a-z//\n", true},
                      // A command that fails adds no change of its own.
                      NoOutputCase{"FaultyCommand", "abc\r\n", "s/(/x/\n", false},
                      // The engine's refusal of an empty pattern changes nothing.
                      NoOutputCase{"EmptyPattern", "abc\r\n", "s//x/\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Messages ----------------------------------------------------------------

// A faulty command is reported once for each file; each file keeps what the
// commands before it did and is still written.
TEST_F(EndToEndTest, FaultyCommandIsReportedForEachFileAndTheFilesAreWritten) {
  WriteFile(dir / "a", "a\n");
  WriteFile(dir / "b", "xa\n");
  WriteTable("s/a/b/\n x/bad/\ns/b/c/\n");
  options.Destination = dir / "out";
  ASSERT_EQ(mkdir(options.Destination.c_str(), 0700), 0);

  const RunSummary summary =
      RunConversion({dir / "a", dir / "b"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(summary.failed, 0u);
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "b\r\n");
  EXPECT_EQ(ReadFile(dir / "out/b.txt"), "xb\r\n");
  const std::string error = TableError("do not start 's' or 'tr'", " x/bad/");
  EXPECT_EQ(host.Dialogs(), (Dialogs{error, error}));
}

// An empty file: the engine refuses the empty text, which is reported, and
// the (empty) file is still written.
TEST_F(EndToEndTest, EmptyFileReportsTheRefusalAndIsWritten) {
  WriteFile(dir / "empty", "");
  WriteTable("s\ns/^/x/\ns/a/b/\n");
  EXPECT_EQ(Convert(dir / "empty", dir / "empty.txt"), FileOutcome::kWritten);
  EXPECT_EQ(ReadFile(dir / "empty.txt"), "");
  EXPECT_FALSE(changed);
  EXPECT_EQ(host.Dialogs(), Dialogs{TableError("invalid target parameter", "s/^/x/")});
}

TEST_F(EndToEndTest, EmptyFileWithNoOutputReportsTheRefusalAndWritesNothing) {
  options.NoOutput = true;
  WriteFile(dir / "empty", "");
  WriteTable("s/^/x/\n");
  EXPECT_EQ(Convert(dir / "empty", dir / "empty.txt"), FileOutcome::kUnchanged);
  EXPECT_FALSE(Exists(dir / "empty.txt"));
  EXPECT_EQ(host.Dialogs(), Dialogs{TableError("invalid target parameter", "s/^/x/")});
}

// A file of nothing but tags is empty when the table runs.
TEST_F(EndToEndTest, FileOfTagsIsEmptyForTheTable) {
  WriteFile(dir / "tags", "<a><b>");
  WriteTable("s/^/x/\n");
  EXPECT_EQ(Convert(dir / "tags", dir / "tags.txt"), FileOutcome::kWritten);
  EXPECT_EQ(ReadFile(dir / "tags.txt"), "");
  EXPECT_TRUE(changed);
  EXPECT_EQ(host.Dialogs(), Dialogs{TableError("invalid target parameter", "s/^/x/")});
}

// A command that puts a NUL byte into the text fails the file with the
// pipeline's NUL message instead of writing a shortened text.
TEST_F(EndToEndTest, NulFromATableCommandFailsTheFile) {
  WriteFile(dir / "in", "axb\n");
  WriteTable("s/x/\\0/\n");
  EXPECT_EQ(Convert(dir / "in", dir / "in.txt"), FileOutcome::kFailed);
  EXPECT_FALSE(Exists(dir / "in.txt"));
  EXPECT_EQ(host.Dialogs(),
            Dialogs{"message[エラー/exclamation] 変換中にNULバイトが生じたため、変換できません。"});
}

// With OverWrite the source itself is replaced (with ".txt" appended for
// HTML): the source is never shortened by a NUL either.
TEST_F(EndToEndTest, NulFromATableCommandLeavesAnOverwrittenSourceAlone) {
  options.OverWrite = true;
  options.DeleteHTMLTag = false;
  WriteFile(dir / "in", "axb\n");
  WriteTable("s/x/\\0/\n");
  const RunSummary summary = RunConversion({dir / "in"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(ReadFile(dir / "in"), "axb\n");
}

// --- ostrevin-cli convert ----------------------------------------------------

using CliRun = testing::CommandRun;
using testing::ShellQuote;

class CliEndToEndTest : public EndToEndTest {
 protected:
  CliRun Run(const std::vector<std::string>& args) {
    std::string command = ShellQuote(OSTREVIN_CLI) + " convert";
    for (const auto& arg : args) command.append(" ").append(ShellQuote(arg));
    return testing::RunCommand(command);
  }
};

TEST_F(CliEndToEndTest, StripHtmlAndPatternTable) {
  WriteFile(dir / "page.htm", kEucPage);
  WriteTable(kTable);
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  const CliRun run = Run({"--yes", "--kanji", "auto", "--strip-html", "--table", options.TablePath,
                          "--regexp", "--dest", out, dir / "page.htm"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(out + "/page.htm.txt"), kExpectedPage);
}

// The table's message goes to standard error, the file is written and the
// exit status is 0.
TEST_F(CliEndToEndTest, FaultyCommandGoesToStandardErrorAndTheRunGoesOn) {
  WriteFile(dir / "a.htm", "<b>a</b>\n");
  WriteFile(dir / "b.htm", "b\n");
  WriteTable("s/a/z/\ns/(/x/\n");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  const CliRun run = Run({"--yes", "--strip-html", "--table", options.TablePath, "--regexp",
                          "--dest", out, dir / "a.htm", dir / "b.htm"});
  EXPECT_EQ(run.status, 0);
  const std::string message = std::string("unmatched () in regexp: s/(/x/") + kContinue + "\n";
  EXPECT_EQ(run.err, message + message);
  EXPECT_EQ(ReadFile(out + "/a.htm.txt"), "z\r\n");
  EXPECT_EQ(ReadFile(out + "/b.htm.txt"), "b\r\n");
}

// Without --regexp the same table is read as plain replacements.
TEST_F(CliEndToEndTest, SimpleModeReadsTheTableAsReplacements) {
  WriteFile(dir / "in", "s/a/b/ a\n");
  WriteTable("s/a/b/\tdone\n");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  const CliRun run =
      Run({"--yes", "--table", options.TablePath, "--simple", "--dest", out, dir / "in"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(out + "/in"), "done a\r\n");
}

TEST_F(CliEndToEndTest, NulFromATableCommandFailsTheFile) {
  WriteFile(dir / "in", "axb\n");
  WriteTable("s/x/\\0/\n");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  const CliRun run =
      Run({"--yes", "--table", options.TablePath, "--regexp", "--dest", out, dir / "in"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "変換中にNULバイトが生じたため、変換できません。\n");
  EXPECT_FALSE(Exists(out + "/in"));
}

}  // namespace
}  // namespace ostrevin
