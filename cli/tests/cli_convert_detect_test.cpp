// Tests of the built ostrevin-cli: the runs of command_cases.txt, and the
// outputs, questions, settings and option overrides of `convert`.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/testing/case_file.h"
#include "core/testing/hex.h"
#include "core/testing/run_command.h"
#include "core/testing/scratch_folder.h"

namespace ostrevin {
namespace {

using testing::Exists;
using testing::Hex;
using testing::ReadFile;
using testing::WriteFile;

using RunResult = testing::CommandRun;

class CliTest : public testing::ScratchTest {
 protected:
  CliTest() {
    EXPECT_EQ(mkdir((dir / "in").c_str(), 0700), 0);
    EXPECT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  }

  // Runs ostrevin-cli with `arguments` (shell words) in the folder, with
  // standard input from `stdin_path` and `prefix` run before it in the shell.
  RunResult Run(const std::string& arguments, const std::string& prefix = "",
                const std::string& stdin_path = "/dev/null") {
    return testing::RunCommand(Line(prefix + " '" OSTREVIN_CLI "' " + arguments), stdin_path);
  }

  // Runs ostrevin-cli with `arguments` in the folder, with `out_fd` as its
  // standard output (the test closes it); standard error is captured.
  RunResult RunWithStdout(const std::string& arguments, int out_fd) {
    const std::string err_path = dir / "stderr";
    const std::string line =
        Line("'" OSTREVIN_CLI "' " + arguments + " 2>" + testing::ShellQuote(err_path));
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out_fd, STDOUT_FILENO);
      execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out_fd);
    int raw = 0;
    RunResult run;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.err = ReadFile(err_path);
    return run;
  }

  // A pipe whose reading end is already closed: every write fails with EPIPE.
  static int ClosedPipe() {
    int ends[2] = {-1, -1};
    EXPECT_EQ(pipe(ends), 0);
    close(ends[0]);
    return ends[1];
  }

  std::string Line(const std::string& command) const {
    return "cd " + testing::ShellQuote(dir.path().string()) + " && " + command;
  }
};

// EUC 吾輩は猫 + LF, JIS and UTF-8 the same, and the Shift-JIS bytes with CR LF.
const std::string kEuc = "\xb8\xe3\xc7\xda\xa4\xcf\xc7\xad\n\x8e\xb1\n";
const std::string kJis = "\x1b$B8c\x47Z\x24\x4f\x47\x2d\x1b(B\n\x1b(I1\x1b(B\n";
const std::string kSjis = "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\r\n\xb1\r\n";
const std::string kUtf8 = "吾輩は猫\nｱ\n";

// --- The runs of command_cases.txt -----------------------------------------------
// "-" nothing, "+" some text, "*" anything, else the exact bytes.
void ExpectStream(const testing::Case& c, std::size_t field, const std::string& got,
                  const char* name) {
  if (c[field] == "*") return;
  if (c[field] == "+") {
    EXPECT_NE(got, "") << name;
  } else {
    std::string expected = c[field] == "-" ? "" : c.Bytes(field);
    if (const auto at = expected.find("@VERSION@"); at != std::string::npos) {
      expected.replace(at, 9, OSTREVIN_VERSION);
    }
    EXPECT_EQ(got, expected) << name;
  }
}

TEST_F(CliTest, RunsFromTheCaseFile) {
  WriteFile(dir / "in/a.txt", "a\r\n");
  WriteFile(dir / "in/nul.txt", std::string("a\0b", 3));
  dir.Folder("in2");
  dir.Folder("in2/sub");
  WriteFile(dir / "in2/sub/b.txt", "b\r\n");
  dir.Folder("src");
  WriteFile(dir / "src/euc.txt", kEuc);
  WriteFile(dir / "src/jis.txt", kJis);
  WriteFile(dir / "src/utf8.txt", kUtf8);
  WriteFile(dir / "src/odd-u.txt", "\xe3\x81\x82\xe3\x81\x84\n\xe2\x82\xac\xff\n");
  WriteFile(dir / "src/odd-euc.txt", "T\x8f\xab\xd7kaido\n");  // JIS X 0212 ō
  WriteFile(dir / "src/odd-jis.txt", "x\x1b$B0\n!\x1b(B\n");   // a Kanji pair cut by LF
  WriteFile(dir / "kanji0.ini", "[Folder]\nKanjiConvert=0\n");
  WriteFile(dir / "nooutput0.ini", "[Folder]\nNoOutput=0\n");
  dir.Folder("det");
  WriteFile(dir / "det/e.txt", kEuc);
  WriteFile(dir / "det/j.txt", kJis);
  WriteFile(dir / "det/s.txt", kSjis);
  WriteFile(dir / "det/n.txt", "ascii\n");
  WriteFile(dir / "det/u.txt", "\xe6\xbc\xa2\xe5\xad\x97\n");    // 漢字 in UTF-8
  WriteFile(dir / "det/z.txt", std::string("ab\0\xa4\xa2", 5));  // EUC after a NUL
  dir.Folder("dir");
  WriteFile(dir / "dir/b.txt", "x\xB1\r\n");         // ｱ
  WriteFile(dir / "dir/A.txt", "\x87\x40\x85\x40");  // ① and the unmapped 0x8540
  WriteFile(dir / "dir/c.txt", "nothing here\r\n");
  WriteFile(dir / "kana.txt", "a\xB2\n");  // ｲ
  dir.Folder("empty");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const testing::Case& c : testing::ReadCases(OSTREVIN_TEST_DIR "/command_cases.txt")) {
    const testing::CaseTrace trace(c);
    if (!c.Has(4)) continue;
    // In a group, so that a redirection in the arguments wins over /dev/null.
    const RunResult r = testing::RunCommand(Line("{ '" OSTREVIN_CLI "' " + c[0] + "; }"));
    EXPECT_EQ(r.status, c.Number(1)) << r.err;
    ExpectStream(c, 2, r.err, "standard error");
    ExpectStream(c, 3, r.out, "standard output");
  }
  if (geteuid() != 0) {  // root may write anywhere
    dir.Folder("locked", 0500);
    const RunResult r = Run("convert --dest locked in/a.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "変換先のフォルダがないか、\n変換先ファイルをオープンできません。(Error:13)\n");
  }
}

// --- Conversion -----------------------------------------------------------------
TEST_F(CliTest, ConvertsEucAndJisToShiftJisWithCrLf) {
  WriteFile(dir / "in/e.txt", kEuc);
  WriteFile(dir / "in/J.txt", kJis);
  const RunResult r = Run("convert --kanji auto --dest out in");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(ReadFile(dir / "out/e.txt")), Hex(kSjis));
  EXPECT_EQ(Hex(ReadFile(dir / "out/J.txt")), Hex(kSjis));
  // List order: e.txt before J.txt (letters without case).
  EXPECT_EQ(r.out, "in/e.txt -> out/e.txt\nin/J.txt -> out/J.txt\n変換終了！\n");
  EXPECT_EQ(r.err, "");
}

// The bundled samples hold the same text in EUC, JIS and Shift-JIS (with CR LF).
TEST_F(CliTest, BundledSamplesConvertToTheSameShiftJis) {
  const char* source_dir = std::getenv("OSTREVIN_SOURCE_DIR");
  if (source_dir == nullptr) GTEST_SKIP() << "OSTREVIN_SOURCE_DIR is not set";
  const std::string samples = std::string(source_dir) + "/examples/text";
  const RunResult r = Run("convert --kanji auto --dest out '" + samples + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string sjis = ReadFile(samples + "/sjis.txt");
  ASSERT_FALSE(sjis.empty());
  EXPECT_EQ(Hex(ReadFile(dir / "out/euc.txt")), Hex(sjis));
  EXPECT_EQ(Hex(ReadFile(dir / "out/jis.txt")), Hex(sjis));
  EXPECT_EQ(Hex(ReadFile(dir / "out/sjis.txt")), Hex(sjis));
  EXPECT_EQ(ReadFile(dir / "out/mixed_line_ends.txt"),
            "CR LF line\r\nLF line\r\nCR line\r\nlast line without an end");
}

TEST_F(CliTest, EmptyDestinationIsTheCurrentFolder) {
  WriteFile(dir / "in/a.txt", "a\n");
  const RunResult r = Run("convert --dest '' in/a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "in/a.txt -> a.txt\n変換終了！\n");
  EXPECT_EQ(ReadFile(dir / "a.txt"), "a\r\n");
}

TEST_F(CliTest, DefaultDestinationIsTheCurrentFoldersAbsolutePath) {
  WriteFile(dir / "in/a.txt", "a\n");
  const RunResult r = Run("convert in/a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "in/a.txt -> " + (dir / "a.txt") + "\n変換終了！\n");
}

// --- Filters: standard input and standard output -----------------------------------
// "-" passes standard input through every stage to standard output, byte for
// byte as the file route writes the output file; the status lines go to
// standard error.
TEST_F(CliTest, StandardInputGivesTheBytesOfTheFileRoute) {
  WriteFile(dir / "t_simple.txt", "cat\tdog\n");
  WriteFile(dir / "t_pattern.txt", "s/c(a)t/d$1g/g\n");
  // EUC 猫 (0xC7 0xAD), tags, an entity and all three line ends.
  WriteFile(dir / "in/x.htm", "\xc7\xad<b>cat</b>&amp;\n\r\n\r\ncat\rx");
  const std::vector<std::string> option_sets = {
      "--kanji off",
      "--kanji auto",
      "--kanji euc",
      "--kanji jis",
      "--kanji off --strip-html",
      "--kanji off --table t_simple.txt",
      "--kanji off --regexp --table t_pattern.txt",
      "--kanji auto --strip-html --regexp --table t_pattern.txt",
  };
  for (const std::string& options : option_sets) {
    std::filesystem::remove_all(dir / "out");
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
    const RunResult file_route = Run("convert -q --dest out " + options + " in/x.htm");
    ASSERT_EQ(file_route.status, 0) << options << file_route.err;
    const std::vector<std::string> outputs = testing::NamesIn(dir / "out");
    ASSERT_EQ(outputs.size(), 1u) << options;

    const RunResult filter = Run("convert " + options + " -", "", dir / "in/x.htm");
    EXPECT_EQ(filter.status, 0) << options;
    EXPECT_EQ(Hex(filter.out), Hex(ReadFile(dir / "out" + "/" + outputs[0]))) << options;
    EXPECT_EQ(filter.err, "- -> -\n変換終了！\n") << options;
  }
}

// With --stdout every text goes to standard output in list order; nothing is
// written to disk and nothing is asked. A refused text writes nothing there,
// and "don't write unchanged" does not apply.
TEST_F(CliTest, StdoutWritesEveryTextInListOrder) {
  WriteFile(dir / "in/a.txt", "a\n");
  WriteFile(dir / "in/b.txt", "b\r\n");  // unchanged by every stage
  WriteFile(dir / "in/n.txt", std::string("n\0", 2));
  WriteFile(dir / "out/a.txt", "old");
  RunResult r = Run("convert --stdout --no-output-unchanged --dest out in");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "a\r\nb\r\n");
  EXPECT_EQ(r.err,
            "in/a.txt -> -\nin/b.txt -> -\nin/n.txt -> -\n"
            "変換元ファイルにNULバイトが含まれているため、変換できません。\n"
            "変換エラー！\n変換終了！\n");
  EXPECT_EQ(testing::NamesIn(dir / "out"), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "old");
}

// -n forms the output paths and touches nothing: no file read or written, no
// table loaded, no question.
TEST_F(CliTest, DryRunWritesNothing) {
  WriteFile(dir / "in/a.txt", "a\n");
  WriteFile(dir / "in/b.htm", "b\n");
  WriteFile(dir / "out/a.txt", "old");
  WriteFile(dir / "stdin", "s\n");
  RunResult r = Run("convert -n --table nothere --dest out in -", "", dir / "stdin");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "- -> -\nin/a.txt -> out/a.txt (上書き)\nin/b.htm -> out/b.htm\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testing::NamesIn(dir / "out"), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "old");

  r = Run("convert --dry-run --overwrite --strip-html in/b.htm");
  EXPECT_EQ(r.out, "in/b.htm -> in/b.htm.txt\n");
  EXPECT_FALSE(Exists(dir / "in/b.htm.txt"));
}

// With SIGPIPE ignored a closed standard output loses the status lines but
// not the conversions; the exit status tells.
TEST_F(CliTest, LostStandardOutputGivesStatus3AfterTheConversions) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(dir / "in" + "/" + name, "x\n");
  RunResult r = RunWithStdout("convert --overwrite -y in", ClosedPipe());
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "標準出力に書き込めませんでした。\n");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    EXPECT_EQ(ReadFile(dir / "in" + "/" + name), "x\r\n") << name;
  }
  struct Case {
    const char* arguments;
    int status;
  };
  const std::vector<Case> cases = {
      {"convert --stdout in", 3},
      {"convert --stdout in nothere", 1},  // a missing path counts before lost output
      {"detect in", 3},
      {"scan in", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunWithStdout(c.arguments, ClosedPipe()).status, c.status) << c.arguments;
    EXPECT_EQ(RunWithStdout(c.arguments, open("/dev/full", O_WRONLY)).status, c.status)
        << c.arguments;
  }
}

// On a terminal -q also leaves out the progress bar, which is drawn there otherwise.
TEST_F(CliTest, QuietDrawsNoProgressBarOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  WriteFile(dir / "in/a.txt", "a\n");
  for (const bool quiet : {false, true}) {
    const std::string convert = std::string("'" OSTREVIN_CLI "' convert -y ") +
                                (quiet ? "-q " : "") + "--dest out in/a.txt";
    const std::string command = "cd '" + dir.path().string() + "' && script -qec \"" + convert +
                                "\" typescript </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << convert;
    const std::string screen = ReadFile(dir / "typescript");
    EXPECT_EQ(screen.find("] 0/1") != std::string::npos, !quiet) << screen;
  }
}

TEST_F(CliTest, OverwriteQuestionIsNoWithoutTerminalAndYesWithYes) {
  WriteFile(dir / "in/a.txt", "new\n");
  WriteFile(dir / "out/a.txt", "old");
  RunResult r = Run("convert --dest out in/a.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "in/a.txt -> out/a.txt\n変換エラー！\n変換終了！\n");
  EXPECT_NE(r.err.find("out/a.txt は上書きされます。よろしいですか？"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "old");

  r = Run("convert -y --dest out in/a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "new\r\n");
}

// On a terminal (a pseudo-terminal made by script(1)) the typed answer decides;
// when standard input carries a text ("-") the answer is read from /dev/tty.
TEST_F(CliTest, OverwriteQuestionOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  struct Case {
    const char* typed;
    bool filter;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"はい", false, true}, {"y", false, true},     {"YES", false, true}, {"n", false, false},
      {"", false, false},    {"yess", false, false}, {"y", true, true},    {"n", true, false},
  };
  WriteFile(dir / "in/a.txt", "new\n");
  for (const auto& c : cases) {
    WriteFile(dir / "out/a.txt", "old");
    const std::string convert = std::string(c.filter ? "printf t | " : "") +
                                "'" OSTREVIN_CLI "' convert --dest out " + (c.filter ? "- " : "") +
                                "in/a.txt";
    const std::string command = "cd '" + dir.path().string() + "' && (sleep 0.3; printf '%s\\n' '" +
                                c.typed + "') | script -qec \"" + convert +
                                "\" /dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.typed;
    EXPECT_EQ(WEXITSTATUS(status), c.replaced ? 0 : 1) << c.typed << c.filter;
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), c.replaced ? "new\r\n" : "old") << c.typed << c.filter;
  }
}

// Standard input carries the text and there is no terminal: the answer is No.
TEST_F(CliTest, OverwriteQuestionWithoutTerminalIsNo) {
  if (std::system("command -v setsid >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setsid(1)";
  WriteFile(dir / "in/a.txt", "new\n");
  WriteFile(dir / "out/a.txt", "old");
  WriteFile(dir / "stdin", "t\n");
  const RunResult r = Run("convert --dest out - in/a.txt", "setsid -w", dir / "stdin");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "t\r\n");
  EXPECT_NE(r.err.find("よろしいですか？ [y/N] n (no terminal to answer on)"), std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "old");
}

TEST_F(CliTest, FileErrorEndsTheRunWithStatus2) {
  WriteFile(dir / "in/big.txt", std::string(200000, 'a'));
  WriteFile(dir / "in/small.txt", "s\n");
  // A file-size limit makes the write fail with EFBIG (the program ignores SIGXFSZ).
  const RunResult r = Run("convert --dest out in", "ulimit -f 16;");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "out/big.txt へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\n");
  EXPECT_EQ(r.out, "in/big.txt -> out/big.txt\n");
  EXPECT_FALSE(Exists(dir / "out/small.txt"));
}

// --- No output of the run replaced by another ------------------------------------------
TEST_F(CliTest, SameOutputIsRefusedOneLineEachAndSameSourceIsDoneOnce) {
  for (const char* folder : {"a", "b", "c"}) {
    ASSERT_EQ(mkdir((dir / "in" + "/" + folder).c_str(), 0700), 0);
    WriteFile(dir / "in" + "/" + folder + "/x.txt", std::string(folder) + "\n");
  }
  // in/a/x.txt is listed twice (by itself and below in): done once, not asked about.
  const RunResult r = Run("convert -y --dest out in in/a/x.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "in/b/x.txt は、この変換で既に出力したファイルと同じ名前になるため、変換しません。\n"
            "in/c/x.txt は、この変換で既に出力したファイルと同じ名前になるため、変換しません。\n");
  EXPECT_EQ(r.out,
            "in/a/x.txt -> out/x.txt\nin/a/x.txt -> out/x.txt\n"
            "in/b/x.txt -> out/x.txt\n変換エラー！\nin/c/x.txt -> out/x.txt\n変換エラー！\n"
            "変換終了！\n");
  EXPECT_EQ(ReadFile(dir / "out/x.txt"), "a\r\n");
}

// --- --keep-tree ---------------------------------------------------------------------------
TEST_F(CliTest, KeepTreeLayoutAndDestination) {
  ASSERT_EQ(mkdir((dir / "in/a").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "in/a/b").c_str(), 0700), 0);
  WriteFile(dir / "in/top.txt", "t\n");
  WriteFile(dir / "in/a/x.txt", "a\n");
  WriteFile(dir / "in/a/b/x.txt", "b\n");
  WriteFile(dir / "file", "f");
  struct Case {
    const char* name;
    std::string arguments;
    int status;
    std::vector<std::string> outputs;  // below the scratch folder: "path=content"
    std::string err;
  };
  const std::vector<Case> cases = {
      {"tree below the folder argument",
       "--dest out in",
       0,
       {"out/top.txt=t", "out/a/x.txt=a", "out/a/b/x.txt=b"},
       ""},
      {"folder argument with a slash",
       "--dest out/ in/",
       0,
       {"out/top.txt=t", "out/a/x.txt=a", "out/a/b/x.txt=b"},
       ""},
      {"a file argument keeps its name only",
       "--dest out in/a/b/x.txt in/top.txt",
       0,
       {"out/x.txt=b", "out/top.txt=t"},
       ""},
      {"a subfolder argument", "--dest out in/a", 0, {"out/x.txt=a", "out/b/x.txt=b"}, ""},
      {"missing destination",
       "--dest nothere in",
       2,
       {},
       "変換先のフォルダがないか、\n変換先ファイルをオープンできません。(Error:2)\n"},
      {"destination is a file",
       "--dest file in",
       2,
       {},
       "変換先のフォルダがないか、\n変換先ファイルをオープンできません。(Error:20)\n"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir / "out");
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
    const RunResult r = Run("convert --keep-tree " + c.arguments);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_EQ(r.err, c.err) << c.name;
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "out")) {
      if (!entry.is_regular_file()) continue;
      const std::string content = ReadFile(entry.path());
      written.push_back(entry.path().string() + "=" + content.substr(0, content.find('\r')));
    }
    std::vector<std::string> expected;
    for (const std::string& output : c.outputs) expected.push_back(dir / output);
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected) << c.name;
  }
  EXPECT_FALSE(Exists(dir / "nothere"));
}

// --- Settings file and overrides -------------------------------------------------------
TEST_F(CliTest, SettingsFileGivesOptionsAndFilesCommandLineOverrides) {
  WriteFile(dir / "in/e.txt", kEuc);
  WriteFile(dir / "in/plain.txt", "p\r\n");
  WriteFile(dir / "s.ini", "[Folder]\r\nDestination=" + (dir / "elsewhere") +
                               "\r\nKanjiConvert=1\r\nKanjiCode=1\r\nNoOutput=1\r\n"
                               "[Files]\r\nCount=2\r\nfile0=in/e.txt\r\nfile1=in/plain.txt\r\n");
  // --dest overrides Destination, whatever the order of the options.
  RunResult r = Run("convert --dest out --settings s.ini");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(ReadFile(dir / "out/e.txt")), Hex(kSjis));
  EXPECT_TRUE(Exists(dir / "out/plain.txt"));  // forced EUC counts as a change

  // --kanji off: plain.txt is unchanged and NoOutput skips it.
  unlink((dir / "out/plain.txt").c_str());
  r = Run("convert --settings s.ini --kanji off --dest out -y");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(Exists(dir / "out/plain.txt"));

  // --output-unchanged clears the settings file's NoOutput.
  r = Run("convert --settings s.ini --kanji off --output-unchanged --dest out -y");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "out/plain.txt"), "p\r\n");
}

// A settings file that cannot be read, or holds no [Folder] or [Files]
// header, is refused before anything is converted: its defaults would write
// over the files in the current folder.
TEST_F(CliTest, UnreadableSettingsFileIsAUsageError) {
  WriteFile(dir / "in/a.txt", "a\n");
  WriteFile(dir / "headerless.ini", "Destination=out\nOverWrite=0\n");
  WriteFile(dir / "secret.ini", "[Folder]\nDestination=out\n");
  ASSERT_EQ(chmod((dir / "secret.ini").c_str(), 0), 0);
  struct Case {
    const char* settings;
    int error_number;
  };
  std::vector<Case> cases = {{"nothere.ini", ENOENT}, {"headerless.ini", EINVAL}, {"in", EISDIR}};
  if (geteuid() != 0) cases.push_back({"secret.ini", EACCES});  // root reads every file
  for (const Case& c : cases) {
    const RunResult r = Run(std::string("convert -y --settings ") + c.settings + " in/a.txt");
    EXPECT_EQ(r.status, 2) << c.settings;
    EXPECT_EQ(r.err, std::string("設定ファイル ") + c.settings +
                         " を読み込めません。(Error:" + std::to_string(c.error_number) + ")\n");
    EXPECT_EQ(r.out, "") << c.settings;
    EXPECT_FALSE(Exists(dir / "a.txt")) << c.settings;
    EXPECT_EQ(ReadFile(dir / "in/a.txt"), "a\n") << c.settings;
  }
  // CR-only line ends are line ends.
  WriteFile(dir / "cr.ini", "[Folder]\rDestination=out\r");
  const RunResult r = Run("convert -y --settings cr.ini in/a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "a\r\n");
  EXPECT_FALSE(Exists(dir / "a.txt"));
}

// Settings take memory in proportion to the file: 16 MiB of keys load within
// 64 MiB of address space. Running out of memory ends the program with the
// message and status 2, not an abort: a file larger than the space allowed.
TEST_F(CliTest, SettingsMemoryAndRunningOutOfIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer aborts instead of throwing and needs a large address space";
#else
  std::string keys = "[Folder]\nDestination=out\n[Other]\n";
  for (int i = 0; keys.size() < (std::size_t{16} << 20); ++i) {
    keys += "key" + std::to_string(i) + "=some value " + std::to_string(i) + "\n";
  }
  WriteFile(dir / "keys.ini", keys);
  WriteFile(dir / "huge.ini", "[Folder]\n" + std::string(std::size_t{64} << 20, ';'));
  WriteFile(dir / "in/a.txt", "a\n");
  struct Case {
    const char* settings;
    int status;
    const char* err;
  };
  const Case cases[] = {{"keys.ini", 0, ""}, {"huge.ini", 2, "ﾒﾓﾘが不足しています。\n"}};
  for (const Case& c : cases) {
    unlink((dir / "out/a.txt").c_str());
    const RunResult r =
        Run(std::string("convert -y --settings ") + c.settings + " in/a.txt", "ulimit -v 65536;");
    EXPECT_EQ(r.status, c.status) << c.settings;
    EXPECT_EQ(r.err, c.err) << c.settings;
    EXPECT_EQ(Exists(dir / "out/a.txt"), c.status == 0) << c.settings;
    EXPECT_FALSE(Exists(dir / "a.txt")) << c.settings;
  }
#endif
}

// With --overwrite, an existing output that is not the source (the ".txt"
// that --strip-html appends) is asked about like any other.
TEST_F(CliTest, OverwriteAsksBeforeReplacingAnotherFile) {
  WriteFile(dir / "README", "<p>page</p>\n");
  WriteFile(dir / "README.txt", "precious\n");
  RunResult r = Run("convert --overwrite --strip-html README");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("README.txt は上書きされます。よろしいですか？"), std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir / "README.txt"), "precious\n");
  r = Run("convert -y --overwrite --strip-html README");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "README.txt"), "page\r\n");
}

// A folder walk stays inside the folder given and leaves out the destination.
TEST_F(CliTest, WalkStaysInsideAndLeavesOutTheDestination) {
  ASSERT_EQ(mkdir((dir / "outside").c_str(), 0700), 0);
  WriteFile(dir / "outside/private.txt", "private\n");
  WriteFile(dir / "in/a.txt", "a\n");
  ASSERT_EQ(symlink("../outside", (dir / "in/link").c_str()), 0);
  RunResult r = Run("convert -y --overwrite in");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "in/a.txt -> in/a.txt\n変換終了！\n");
  EXPECT_EQ(ReadFile(dir / "outside/private.txt"), "private\n");

  ASSERT_EQ(mkdir((dir / "in/out").c_str(), 0700), 0);
  r = Run("convert -y --dest in/out in");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "in/a.txt -> in/out/a.txt\n変換終了！\n");
}

TEST_F(CliTest, OptionsReachTheirStages) {
  EXPECT_NE(Run("convert --help").out.find("default: auto"), std::string::npos);
  WriteFile(dir / "t_simple.txt", "cat\tdog\n");
  WriteFile(dir / "t_pattern.txt", "s/c(a)t/d$1g/g\n");
  struct Case {
    const char* name;
    std::string arguments;
    std::string source;
    std::string output_name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"--strip-html appends .txt", "--strip-html", "<b>cat</b>\n", "a.htm.txt", "cat\r\n"},
      {"--no-strip-html keeps the tags", "--no-strip-html", "<b>cat</b>\n", "a.htm",
       "<b>cat</b>\r\n"},
      {"--regexp runs pattern commands", "--table t_pattern.txt --regexp", "a cat\n", "a.htm",
       "a dag\r\n"},
      {"--simple takes the table literally", "--table t_simple.txt --simple", "a cat\n", "a.htm",
       "a dog\r\n"},
      {"--overwrite writes over the source", "--overwrite", "x\n", "../in/a.htm", "x\r\n"},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "in/a.htm", c.source);
    const RunResult r = Run("convert -y --dest out " + c.arguments + " in/a.htm");
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(ReadFile(dir / "out" + "/" + c.output_name), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace ostrevin
