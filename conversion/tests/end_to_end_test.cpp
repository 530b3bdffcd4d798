// Whole files through every stage: ConvertFile and the batch run with code
// conversion, line ends, HTML stripping and a pattern-command table, and the
// built `ostrevin-cli convert`.
#include <filesystem>
#include <optional>
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
using Dialogs = std::vector<std::string>;

constexpr const char* kContinue = "\n変換テーブルを通さずに処理を続行します。";

std::string TableError(const std::string& engine_message, const std::string& command) {
  return "message[エラー/exclamation] " + engine_message + ": " + command + kContinue;
}

// An HTML page in Japanese EUC with CR LF line ends: あ (EUC 0xA4 0xA2), tags,
// entities, an escaped tag and a run of empty lines, which collapses only
// when the line ends were made LF first.
const std::string kEucPage =
    "<html>\r\n<body>\r\n<p>\xA4\xA2 &amp; b&lt;i&gt;c&lt;/i&gt;</p>\r\n\r\n\r\n\r\n"
    "<p>x&NBSP;y &copy;</p>\r\n</body>\r\n</html>\r\n";

// The table: a comment, あ -> い (Shift-JIS 0x82 0xA0 -> 0x82 0xA2), which
// needs the code conversion before it, and upper case for ASCII letters.
const std::string kTable =
    "# sample\r\n"
    "s/\x82\xA0/\x82\xA2/gk\r\n"
    "tr/a-z/A-Z/\r\n";

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
    options.Destination = dir.Folder("out");
  }
};

TEST_F(EndToEndTest, EveryStageInOrderThroughTheBatchRun) {
  dir.Write("page.htm", kEucPage);
  dir.Write("table.txt", kTable);
  const RunSummary summary =
      RunConversion({dir / "page.htm"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 1u);
  // HTML stripping appends ".txt" to the output name.
  EXPECT_EQ(Hex(dir.Read("out/page.htm.txt")), Hex(kExpectedPage));
  EXPECT_FALSE(Exists(dir / "out/page.htm"));
  EXPECT_EQ(host.Dialogs(), Dialogs{});
}

// ConvertOneFile with every stage on: which stage's change lets NoOutput
// write, what the table sees after the HTML stage, and a NUL from the table.
TEST_F(EndToEndTest, StagesTogetherInConvertFile) {
  const std::string nul_error =
      "message[エラー/exclamation] 変換中にNULバイトが生じたため、変換できません。";
  struct Case {
    const char* name;
    std::string source;
    std::string table;
    bool no_output;
    FileOutcome outcome;
    std::optional<std::string> output;  // none when nothing is written
    bool changed;
    std::string dialog;  // the one message shown, if any
  };
  const std::string refused = TableError("invalid target parameter", "s/^/x/");
  const std::vector<Case> cases = {
      {"nothing to do", "plain\r\n\r\ntext > x\r\n", "s/q/z/g\ntr/Q/q/\n", true,
       FileOutcome::kUnchanged, std::nullopt, false, ""},
      {"only a tag", "a<br>\r\n", "s/q/z/g\n", true, FileOutcome::kWritten, "a\r\n", true, ""},
      {"empty lines collapse after CR LF became LF", "a\r\n\r\n\r\n\r\nb", "s/q/z/g\n", true,
       FileOutcome::kWritten, "a\r\n\r\nb", true, ""},
      // The engine refuses an empty text; the refusal is shown, the file written.
      {"empty file", "", "s\ns/^/x/\ns/a/b/\n", false, FileOutcome::kWritten, "", false, refused},
      // The tags are gone before the table runs.
      {"nothing but tags", "<a><b>", "s/^/x/\n", false, FileOutcome::kWritten, "", true, refused},
      // Not a text shortened at the NUL: the file fails.
      {"NUL from the table", "axb\n", "s/x/\\0/\n", false, FileOutcome::kFailed, std::nullopt, true,
       nul_error},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    options.NoOutput = c.no_output;
    host.calls.clear();
    const std::string source = dir.Write("in", c.source);
    const std::string output = dir / "in.txt";
    std::filesystem::remove(output);
    dir.Write("table.txt", c.table);
    ConversionRun run(options, host);
    ASSERT_TRUE(LoadConversionTable(options.TablePath, true, run.table, host));
    EXPECT_EQ(ConvertOneFile(run, source, output), c.outcome);
    EXPECT_EQ(run.changed, c.changed);
    EXPECT_EQ(Exists(output), c.output.has_value());
    if (c.output) {
      EXPECT_EQ(Hex(ReadFile(output)), Hex(*c.output));
    }
    EXPECT_EQ(host.Dialogs(), c.dialog.empty() ? Dialogs{} : Dialogs{c.dialog});
  }
}

// A faulty command is reported once for each file; each file keeps what the
// commands before it did and is still written.
TEST_F(EndToEndTest, FaultyCommandIsReportedForEachFileAndTheFilesAreWritten) {
  dir.Write("a", "a\n");
  dir.Write("b", "xa\n");
  dir.Write("table.txt", "s/a/b/\n x/bad/\ns/b/c/\n");
  options.DeleteHTMLTag = false;
  const RunSummary summary =
      RunConversion({dir / "a", dir / "b"}, options, host, RunConfirmation::kSkip);
  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(summary.failed, 0u);
  EXPECT_EQ(dir.Read("out/a"), "b\r\n");
  EXPECT_EQ(dir.Read("out/b"), "xb\r\n");
  const std::string error = TableError("do not start 's' or 'tr'", " x/bad/");
  EXPECT_EQ(host.Dialogs(), (Dialogs{error, error}));
}

// --- ostrevin-cli convert ----------------------------------------------------

class CliEndToEndTest : public EndToEndTest {
 protected:
  testing::CommandRun Run(const std::vector<std::string>& args) {
    std::string command = testing::ShellQuote(OSTREVIN_CLI) + " convert --yes --regexp --table " +
                          testing::ShellQuote(options.TablePath) + " --dest " +
                          testing::ShellQuote(options.Destination);
    for (const auto& arg : args) command.append(" ").append(testing::ShellQuote(arg));
    return testing::RunCommand(command);
  }
};

TEST_F(CliEndToEndTest, EveryStageInOrder) {
  dir.Write("page.htm", kEucPage);
  dir.Write("table.txt", kTable);
  const testing::CommandRun run = Run({"--kanji", "auto", "--strip-html", dir / "page.htm"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Hex(dir.Read("out/page.htm.txt")), Hex(kExpectedPage));
}

// The table's message goes to standard error, the files are written and the
// exit status is 0.
TEST_F(CliEndToEndTest, FaultyCommandGoesToStandardErrorAndTheRunGoesOn) {
  dir.Write("a.htm", "<b>a</b>\n");
  dir.Write("b.htm", "b\n");
  dir.Write("table.txt", "s/a/z/\ns/(/x/\n");
  const testing::CommandRun run = Run({"--strip-html", dir / "a.htm", dir / "b.htm"});
  EXPECT_EQ(run.status, 0);
  const std::string message = std::string("unmatched () in regexp: s/(/x/") + kContinue + "\n";
  EXPECT_EQ(run.err, message + message);
  EXPECT_EQ(dir.Read("out/a.htm.txt"), "z\r\n");
  EXPECT_EQ(dir.Read("out/b.htm.txt"), "b\r\n");
}

}  // namespace
}  // namespace ostrevin
