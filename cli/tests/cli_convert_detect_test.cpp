// Tests of the built ostrevin-cli: the runs of command_cases.txt, and what
// those cannot show: the filter route against the file route, lost output,
// terminals, a full disk and running out of memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

using testing::Hex;
using testing::ReadFile;
using testing::WriteFile;
using RunResult = testing::CommandRun;

class CliTest : public testing::ScratchTest {
 protected:
  CliTest() {
    dir.Folder("in");
    dir.Folder("out");
  }

  // Runs ostrevin-cli with `arguments` (shell words) in the folder, with
  // standard input from `stdin_path` and `prefix` run before it in the shell.
  RunResult Run(const std::string& arguments, const std::string& prefix = "",
                const std::string& stdin_path = "/dev/null") {
    return testing::RunCommand(Line(prefix + " '" OSTREVIN_CLI "' " + arguments), stdin_path);
  }

  // Runs ostrevin-cli with `out_fd` as its standard output (closed here);
  // standard error is captured.
  RunResult RunWithStdout(const std::string& arguments, int out_fd) {
    const std::string line =
        Line("'" OSTREVIN_CLI "' " + arguments + " 2>" + testing::ShellQuote(dir / "stderr"));
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
    run.err = ReadFile(dir / "stderr");
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

  // A shell command line that runs `convert` on a pseudo-terminal made by
  // script(1), typing `typed` once the program waits, the screen kept in
  // "typescript".
  std::string OnTerminal(const std::string& convert, const std::string& typed) const {
    return Line("(sleep 0.3; printf '%s\\n' '" + typed + "') | script -qec \"" + convert +
                "\" typescript >/dev/null 2>&1");
  }
};

// EUC 吾輩は猫 + LF and ｱ, JIS and UTF-8 the same.
const std::string kEuc = "\xb8\xe3\xc7\xda\xa4\xcf\xc7\xad\n\x8e\xb1\n";
const std::string kJis = "\x1b$B8c\x47Z\x24\x4f\x47\x2d\x1b(B\n\x1b(I1\x1b(B\n";

// "-" nothing, "+" some text, "*" anything, else the exact bytes.
void ExpectStream(const testing::Case& c, std::size_t field, const std::string& got,
                  const std::string& folder, const char* name) {
  if (c[field] == "*") return;
  if (c[field] == "+") {
    EXPECT_NE(got, "") << name;
    return;
  }
  std::string expected = c[field] == "-" ? "" : c.Bytes(field);
  for (const auto& [mark, value] :
       {std::pair<std::string, std::string>{"@VERSION@", OSTREVIN_VERSION}, {"@DIR@", folder}}) {
    if (const auto at = expected.find(mark); at != std::string::npos) {
      expected.replace(at, mark.size(), value);
    }
  }
  EXPECT_EQ(got, expected) << name;
}

TEST_F(CliTest, RunsFromTheCaseFile) {
  const std::pair<const char*, std::string> files[] = {
      {"in/a.txt", "a\r\n"},
      {"in/nul.txt", std::string("a\0b", 3)},
      {"in2/sub/b.txt", "b\r\n"},
      {"src/euc.txt", kEuc},
      {"src/jis.txt", kJis},
      {"src/utf8.txt", "吾輩は猫\nｱ\n"},
      {"src/odd-u.txt", "\xe3\x81\x82\xe3\x81\x84\n\xe2\x82\xac\xff\n"},
      {"src/odd-euc.txt", "T\x8f\xab\xd7kaido\n"},  // JIS X 0212 ō
      {"src/odd-jis.txt", "x\x1b$B0\n!\x1b(B\n"},   // a Kanji pair cut by LF
      {"kanji0.ini", "[Folder]\nKanjiConvert=0\n"},
      {"nooutput0.ini", "[Folder]\nNoOutput=0\n"},
      {"s.ini",
       "[Folder]\r\nDestination=elsewhere\r\nKanjiConvert=1\r\nKanjiCode=1\r\nNoOutput=1\r\n"
       "[Files]\r\nCount=2\r\nfile0=src/euc.txt\r\nfile1=in/a.txt\r\n"},
      {"headerless.ini", "Destination=out\nOverWrite=0\n"},
      {"cr.ini", "[Folder]\rDestination=out\r"},
      {"det/e.txt", kEuc},
      {"det/j.txt", kJis},
      {"det/s.txt", "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\r\n\xb1\r\n"},
      {"det/n.txt", "ascii\n"},
      {"det/u.txt", "\xe6\xbc\xa2\xe5\xad\x97\n"},    // 漢字 in UTF-8
      {"det/z.txt", std::string("ab\0\xa4\xa2", 5)},  // EUC after a NUL
      {"dir/b.txt", "x\xB1\r\n"},                     // ｱ
      {"dir/A.txt", "\x87\x40\x85\x40"},              // ① and the unmapped 0x8540
      {"dir/c.txt", "nothing here\r\n"},
      {"kana.txt", "a\xB2\n"},  // ｲ
      {"h/a.htm", "<b>cat</b>\n"},
      {"h/cat.txt", "a cat\n"},
      {"t_simple.txt", "cat\tdog\n"},
      {"t_pattern.txt", "s/c(a)t/d$1g/g\n"},
      {"t.ini", "[Folder]\nUseTable=1\nTablePath=t_simple.txt\n"},
      {"std/a.txt", "a\n"},
      {"std/b.txt", "b\r\n"},  // unchanged by every stage
      {"std/n.txt", std::string("n\0", 2)},
      {"same/a/x.txt", "a\n"},
      {"same/b/x.txt", "b\n"},
      {"same/c/x.txt", "c\n"},
      {"tree/top.txt", "t\n"},
      {"tree/a/x.txt", "a\n"},
      {"tree/a/b/x.txt", "b\n"},
      {"walk/a.txt", "a\n"},
      {"walk/out/done.txt", "d\n"},
      {"outside/private.txt", "p\n"},
  };
  for (const auto& [name, bytes] : files) {
    std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
    WriteFile(dir / name, bytes);
  }
  for (const char* folder : {"empty", "out2", "out3", "out4"}) dir.Folder(folder);
  ASSERT_EQ(symlink("../outside", (dir / "walk/link").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const testing::Case& c : testing::ReadCases(OSTREVIN_TEST_DIR "/command_cases.txt")) {
    const testing::CaseTrace trace(c);
    if (!c.Has(4)) continue;
    // In a group, so that a redirection in the arguments wins over /dev/null.
    const RunResult r = testing::RunCommand(Line("{ '" OSTREVIN_CLI "' " + c[0] + "; }"));
    EXPECT_EQ(r.status, c.Number(1)) << r.err;
    ExpectStream(c, 2, r.err, dir.path().string(), "standard error");
    ExpectStream(c, 3, r.out, dir.path().string(), "standard output");
  }
  if (geteuid() != 0) {  // root may write anywhere
    dir.Folder("locked", 0500);
    const RunResult r = Run("convert --dest locked in/a.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "変換先のフォルダがないか、\n変換先ファイルをオープンできません。(Error:13)\n");
  }
}

// "-" passes standard input through every stage to standard output, byte for
// byte as the file route writes the output file; the status lines go to
// standard error.
TEST_F(CliTest, StandardInputGivesTheBytesOfTheFileRoute) {
  WriteFile(dir / "t_simple.txt", "cat\tdog\n");
  WriteFile(dir / "t_pattern.txt", "s/c(a)t/d$1g/g\n");
  // EUC 猫 (0xC7 0xAD), tags, an entity and all three line ends.
  WriteFile(dir / "in/x.htm", "\xc7\xad<b>cat</b>&amp;\n\r\n\r\ncat\rx");
  for (const char* options :
       {"--kanji off", "--kanji auto", "--kanji euc", "--kanji jis", "--kanji off --strip-html",
        "--kanji off --table t_simple.txt", "--kanji off --regexp --table t_pattern.txt",
        "--kanji auto --strip-html --regexp --table t_pattern.txt"}) {
    std::filesystem::remove_all(dir / "out");
    dir.Folder("out");
    const RunResult file_route = Run(std::string("convert -q --dest out ") + options + " in/x.htm");
    ASSERT_EQ(file_route.status, 0) << options << file_route.err;
    const std::vector<std::string> outputs = testing::NamesIn(dir / "out");
    ASSERT_EQ(outputs.size(), 1u) << options;

    const RunResult filter = Run(std::string("convert ") + options + " -", "", dir / "in/x.htm");
    EXPECT_EQ(filter.status, 0) << options;
    EXPECT_EQ(Hex(filter.out), Hex(ReadFile(dir / "out" + "/" + outputs[0]))) << options;
    EXPECT_EQ(filter.err, "- -> -\n変換終了！\n") << options;
  }
}

// With SIGPIPE ignored a closed standard output loses the status lines but
// not the conversions; the exit status tells.
TEST_F(CliTest, LostStandardOutputGivesStatus3AfterTheConversions) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(dir / "in" + "/" + name, "x\n");
  const RunResult r = RunWithStdout("convert --overwrite -y in", ClosedPipe());
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "標準出力に書き込めませんでした。\n");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    EXPECT_EQ(ReadFile(dir / "in" + "/" + name), "x\r\n") << name;
  }
  const std::pair<const char*, int> cases[] = {
      {"convert --stdout in", 3},
      {"convert --stdout in nothere", 1},  // a missing path counts before lost output
      {"detect in", 3},
      {"scan in", 3}};
  for (const auto& [arguments, status] : cases) {
    EXPECT_EQ(RunWithStdout(arguments, ClosedPipe()).status, status) << arguments;
    EXPECT_EQ(RunWithStdout(arguments, open("/dev/full", O_WRONLY)).status, status) << arguments;
  }
}

// On a terminal (a pseudo-terminal made by script(1)) the typed answer decides;
// when standard input carries a text ("-") the answer is read from /dev/tty.
// The progress bar is drawn there too, unless -q.
TEST_F(CliTest, OverwriteQuestionAndProgressBarOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  const struct {
    const char* typed;
    const char* options;  // "-" in them: a text on standard input
    bool replaced;
  } cases[] = {{"はい", "", true}, {"y", "", true},  {"YES", "", true},
               {"n", "", false},   {"", "", false},  {"yess", "", false},
               {"y", "-q", true},  {"y", "-", true}, {"n", "-", false}};
  WriteFile(dir / "in/a.txt", "new\n");
  for (const auto& c : cases) {
    WriteFile(dir / "out/a.txt", "old");
    const bool filter = std::string(c.options) == "-";
    const std::string convert = std::string(filter ? "printf t | " : "") +
                                "'" OSTREVIN_CLI "' convert --dest out " + c.options + " in/a.txt";
    const int status = std::system(OnTerminal(convert, c.typed).c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.typed;
    EXPECT_EQ(WEXITSTATUS(status), c.replaced ? 0 : 1) << c.typed << c.options;
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), c.replaced ? "new\r\n" : "old") << c.typed << c.options;
    const bool bar = ReadFile(dir / "typescript").find("] 0/") != std::string::npos;
    EXPECT_EQ(bar, std::string(c.options) != "-q") << c.typed << c.options;
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
  EXPECT_FALSE(testing::Exists(dir / "out/small.txt"));
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
  const std::pair<const char*, const char*> cases[] = {{"keys.ini", ""},
                                                       {"huge.ini", "ﾒﾓﾘが不足しています。\n"}};
  for (const auto& [settings, err] : cases) {
    unlink((dir / "out/a.txt").c_str());
    const RunResult r =
        Run(std::string("convert -y --settings ") + settings + " in/a.txt", "ulimit -v 65536;");
    EXPECT_EQ(r.status, *err == '\0' ? 0 : 2) << settings;
    EXPECT_EQ(r.err, err) << settings;
    EXPECT_EQ(testing::Exists(dir / "out/a.txt"), *err == '\0') << settings;
    EXPECT_FALSE(testing::Exists(dir / "a.txt")) << settings;
  }
#endif
}

}  // namespace
}  // namespace ostrevin
