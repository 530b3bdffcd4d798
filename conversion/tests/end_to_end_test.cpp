// Whole files through every stage: the built `ostrevin-cli convert` with code
// conversion, line ends, HTML stripping and a pattern-command table, and the
// batch run with a table whose commands fail or that cannot be converted.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <utility>
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
// needs the code conversion before it, a command that finds no tag since the
// HTML stage ran before, and upper case for ASCII letters.
const std::string kTable =
    "# sample\r\n"
    "s/\x82\xA0/\x82\xA2/gk\r\n"
    "s/<p>/#/g\r\n"
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

// NoOutput with every stage on: a text that no stage changes is not written;
// a tag alone is a change, and so is a pattern command's replacement alone.
TEST_F(EndToEndTest, NoOutputWritesOnlyWhatAStageChanged) {
  options.NoOutput = true;
  dir.Write("table.txt", "s/q/z/g\ntr/Q/q/\n");
  const std::pair<std::string, FileOutcome> cases[] = {
      {"plain\r\n\r\ntext > x\r\n", FileOutcome::kUnchanged},
      {"a<br>\r\n", FileOutcome::kWritten},
      {"q\r\n", FileOutcome::kWritten},
  };
  for (const auto& [source, outcome] : cases) {
    SCOPED_TRACE(source);
    const std::string output = dir / "in.txt";
    std::filesystem::remove(output);
    ConversionRun run(options, host);
    ASSERT_TRUE(LoadConversionTable(options.TablePath, true, run.table, host));
    EXPECT_EQ(ConvertOneFile(run, dir.Write("in", source), output), outcome);
    EXPECT_EQ(Exists(output), outcome == FileOutcome::kWritten);
  }
  EXPECT_EQ(host.Dialogs(), Dialogs{});
}

// A command that puts a NUL byte into the text fails the file instead of
// writing a text shortened at the NUL.
TEST_F(EndToEndTest, NulFromATableCommandFailsTheFile) {
  dir.Write("table.txt", "s/x/\\0/\n");
  ConversionRun run(options, host);
  ASSERT_TRUE(LoadConversionTable(options.TablePath, true, run.table, host));
  EXPECT_EQ(ConvertOneFile(run, dir.Write("in", "axb\n"), dir / "in.txt"), FileOutcome::kFailed);
  EXPECT_FALSE(Exists(dir / "in.txt"));
  EXPECT_EQ(host.Dialogs(),
            Dialogs{"message[エラー/exclamation] 変換中にNULバイトが生じたため、変換できません。"});
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
  EXPECT_EQ(summary.warned, 2u);
  EXPECT_EQ(dir.Read("out/a"), "b\r\n");
  EXPECT_EQ(dir.Read("out/b"), "xb\r\n");
  const std::string error = TableError("do not start 's' or 'tr'", " x/bad/");
  EXPECT_EQ(host.Dialogs(), (Dialogs{error, error}));
}

// A table written in UTF-8 is brought into Shift-JIS in either mode, its BOM
// dropped; one that cannot be converted exactly is refused with its first
// problem, and the run goes on without it.
TEST_F(EndToEndTest, Utf8TablesAreConvertedOrRefused) {
  options.DeleteHTMLTag = false;
  const std::string cat = "\x94\x4C\x82\xC5\x82\xB7\n";    // 猫です in Shift-JIS
  const std::string dog = "\x8C\xA2\x82\xC5\x82\xB7\r\n";  // 犬です
  const std::string unchanged = "\x94\x4C\x82\xC5\x82\xB7\r\n";
  struct Case {
    const char* name;
    std::string table;  // UTF-8 (this file's own encoding)
    int reg_exp;
    std::string expected;
    std::string refusal;  // the reason shown, empty for none
  };
  const std::vector<Case> cases = {
      {"simple, BOM", "\xEF\xBB\xBF猫\t犬\n", 0, dog, ""},
      {"pattern", "# 猫を犬に\ns/猫/犬/gk\n", 1, dog, ""},
      {"unmappable", "猫\t犬\n€\tx\n", 0, unchanged,
       "変換テーブルファイルの 2 行目に、シフトJISで表せない文字 U+20AC (€) "
       "があるため、変換できません。"},
      {"invalid", "猫猫猫猫猫猫\t犬\n\xFF\n", 1, unchanged,
       "変換テーブルファイルの 2 行目に、変換できないバイト列 (FF) があるため、変換できません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.calls.clear();
    options.RegExp = c.reg_exp;
    dir.Write("table.txt", c.table);
    const std::string name = std::string(c.name).substr(0, 3) + ".txt";
    const RunSummary summary =
        RunConversion({dir.Write(name, cat)}, options, host, RunConfirmation::kSkip);
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(Hex(dir.Read("out/" + name)), Hex(c.expected));
    EXPECT_EQ(host.Dialogs(),
              c.refusal.empty() ? Dialogs{}
                                : Dialogs{"message[エラー/exclamation] " + c.refusal + kContinue});
  }
}

// --- ostrevin-cli convert ----------------------------------------------------

// A faulty last command: its message goes to standard error, and the file is
// still written with what the commands before it did; the exit status is 1,
// so that a script can tell the table was not wholly applied.
TEST_F(EndToEndTest, CommandLineRunsEveryStageAndGoesOnAfterAFaultyCommand) {
  using testing::ShellQuote;
  dir.Write("page.htm", kEucPage);
  dir.Write("table.txt", kTable + "s/(/x/\r\n");
  const testing::CommandRun run = testing::RunCommand(
      ShellQuote(OSTREVIN_CLI) + " convert --yes --kanji auto --strip-html --regexp --table " +
      ShellQuote(options.TablePath) + " --dest " + ShellQuote(options.Destination) + " " +
      ShellQuote(dir / "page.htm"));
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, std::string("unmatched () in regexp: s/(/x/") + kContinue + "\n");
  EXPECT_EQ(Hex(dir.Read("out/page.htm.txt")), Hex(kExpectedPage));
}

// --- Flushing outputs to the disk ---------------------------------------------------

// The flushes, the names outputs get and the status lines of a traced run, in
// order: "fsync", "syncfs", "name NAME" (a rename or link to NAME, temporary
// names left out), "status" (a write to standard output).
std::vector<std::string> FlushEvents(const std::string& trace) {
  static const std::regex kCall(
      R"re((?:^|\n)\d+ +(fsync|fdatasync|syncfs|(?:rename|link)(?:at2?)?\(.*, "([^"]*)"|write\(1,))re");
  std::vector<std::string> events;
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), kCall);
       it != std::sregex_iterator(); ++it) {
    const std::string call = (*it)[1];
    const std::string name = (*it)[2];
    if (call.starts_with("write")) {
      events.push_back("status");
    } else if (name.empty()) {
      events.push_back(call);
    } else if (name.find(".ostrevin-") == std::string::npos) {
      events.push_back("name " + name);
    }
  }
  return events;
}

// A crash must leave a replaced file old or new, never empty: its new content
// is flushed before the rename. New outputs are flushed together by one
// syncfs after the last of them and before the run says it is done, so that a
// script that deletes the sources after success still has the outputs.
TEST(CliFlushTest, ReplacedOutputIsFlushedBeforeItsRenameAndNewOnesOnceBeforeTheEnd) {
  using testing::ShellQuote;
  if (std::system("strace -f -o /dev/null true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "strace cannot run here (tools/deps.sh installs it)";
  }
  testing::ScratchFolder dir;
  const std::string out = dir.Folder("out");
  dir.Write("out/b.txt", "old\n");
  std::string sources;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    sources += " " + ShellQuote(dir.Write(name, "x\n"));
  }
  // LeakSanitizer stops the program under ptrace: a sanitizer build leaves it
  // out of the traced run.
  const testing::CommandRun run = testing::RunCommand(
      "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -qq -e "
      "trace=fsync,fdatasync,syncfs,rename,renameat,renameat2,link,linkat,write -o " +
      ShellQuote(dir / "trace") + " " + ShellQuote(OSTREVIN_CLI) + " convert --yes --dest " +
      ShellQuote(out) + sources);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FlushEvents(dir.Read("trace")),
            (std::vector<std::string>{"status", "name a.txt", "status", "fsync", "name b.txt",
                                      "status", "name c.txt", "syncfs", "status"}));
}

// --- A stop signal ----------------------------------------------------------------

// Whether `pid` waits in a write to its standard output ("NR fd ..." in
// /proc/PID/syscall).
bool BlockedWritingStandardOutput(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
  long number = -1;
  std::string fd;
  in >> number >> fd;
  return number == SYS_write && fd == "0x1";
}

TEST(CliStopTest, SigtermFinishesTheFileUnderWayThenEndsTheProcessBySigterm) {
  if (!std::ifstream("/proc/self/syscall")) GTEST_SKIP() << "no /proc/PID/syscall here";
  testing::ScratchFolder dir;
  const std::string a = dir.Write("a.txt", "a\n");
  const std::string b = dir.Write("b.txt", "b\n");
  // Standard output is a full pipe: the first status line holds the program
  // just before it converts the first file, and the signal comes then.
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  (void)fcntl(out[1], F_SETPIPE_SZ, 4096);
  ASSERT_EQ(fcntl(out[1], F_SETFL, O_NONBLOCK), 0);
  const std::string filler(4096, 'x');
  while (write(out[1], filler.data(), filler.size()) > 0) {
  }
  ASSERT_EQ(fcntl(out[1], F_SETFL, 0), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDERR_FILENO);
    execl(OSTREVIN_CLI, "ostrevin-cli", "convert", "--overwrite", "--yes", a.c_str(), b.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  bool blocked = false;
  for (int i = 0; i < 1000 && !blocked; ++i) {
    blocked = BlockedWritingStandardOutput(pid);
    if (!blocked) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(blocked) << "the program never waited on its output";
  kill(pid, SIGTERM);
  char buffer[4096];
  while (read(out[0], buffer, sizeof buffer) > 0) {
  }
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  EXPECT_EQ(Hex(dir.Read("a.txt")), Hex("a\r\n"));
  EXPECT_EQ(Hex(dir.Read("b.txt")), Hex("b\n"));
  EXPECT_EQ(testing::NamesIn(dir.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

}  // namespace
}  // namespace ostrevin
