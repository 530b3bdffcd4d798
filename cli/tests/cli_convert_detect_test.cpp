// Tests for `ostrevin-cli convert` and `ostrevin-cli detect`: outputs, status
// lines, messages, option overrides and exit statuses of the built program.
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

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    EXPECT_EQ(mkdir((dir / "in").c_str(), 0700), 0);
    EXPECT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  }

  // Runs ostrevin-cli with `arguments` (shell words) in the folder, with
  // standard input from /dev/null and `prefix` run before it in the shell.
  RunResult Run(const std::string& arguments, const std::string& prefix = "") {
    return testing::RunCommand("cd " + testing::ShellQuote(dir.path().string()) + " && " + prefix +
                               " '" + OSTREVIN_CLI "' " + arguments);
  }

  testing::ScratchFolder dir;
};

// EUC 吾輩は猫 + LF, JIS and UTF-8 the same, and the Shift-JIS bytes with CR LF.
const std::string kEuc = "\xb8\xe3\xc7\xda\xa4\xcf\xc7\xad\n\x8e\xb1\n";
const std::string kJis = "\x1b$B8c\x47Z\x24\x4f\x47\x2d\x1b(B\n\x1b(I1\x1b(B\n";
const std::string kSjis = "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\r\n\xb1\r\n";
const std::string kUtf8 = "吾輩は猫\nｱ\n";

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

// --kanji in any letter case; without it, auto unless a settings file sets
// KanjiConvert.
TEST_F(CliTest, KanjiChoiceAndItsDefault) {
  const std::string raw = "\xb8\xe3\xc7\xda\xa4\xcf\xc7\xad\r\n\x8e\xb1\r\n";
  struct Case {
    const char* kanji;     // "" when not given
    const char* settings;  // the [Folder] keys of a --settings file, nullptr for none
    std::string input;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"euc", nullptr, kEuc, kSjis},
      {"JIS", nullptr, kJis, kSjis},
      {"UTF8", nullptr, kUtf8, kSjis},
      {"", nullptr, kUtf8, kSjis},
      {"Off", nullptr, kEuc, raw},
      {"", nullptr, kEuc, kSjis},
      {"", "NoOutput=0", kEuc, kSjis},
      {"", "KanjiConvert=0", kEuc, raw},
      {"auto", "KanjiConvert=0", kEuc, kSjis},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "in/x.txt", c.input);
    std::string arguments = "convert --yes --dest out in/x.txt";
    if (*c.kanji != '\0') arguments += std::string(" --kanji ") + c.kanji;
    if (c.settings != nullptr) {
      WriteFile(dir / "s.ini", std::string("[Folder]\n") + c.settings + "\n");
      arguments += " --settings s.ini";
    }
    const RunResult r = Run(arguments);
    EXPECT_EQ(r.status, 0) << arguments << r.err;
    EXPECT_EQ(Hex(ReadFile(dir / "out/x.txt")), Hex(c.expected)) << arguments;
  }
  EXPECT_NE(Run("convert --help").out.find("default: auto"), std::string::npos);
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

// --- Exit statuses and messages -----------------------------------------------------
TEST_F(CliTest, ExitStatusesAndMessages) {
  WriteFile(dir / "in/a.txt", "a\r\n");
  WriteFile(dir / "in/nul.txt", std::string("a\0b", 3));
  ASSERT_EQ(mkdir((dir / "in2").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "in2/sub").c_str(), 0700), 0);
  WriteFile(dir / "in2/sub/b.txt", "b\r\n");
  struct Case {
    const char* name;
    std::string arguments;
    int status;
    std::string err;  // expected standard error, or "*" for any text
  };
  const std::vector<Case> cases = {
      {"missing path", "convert --dest out in/a.txt nothere", 1,
       "nothere が見つかりませんでした。\n"},
      {"empty list", "convert --dest out", 2, "変換元ファイルがリストにありません\n"},
      {"all paths missing", "convert --dest out nothere", 2,
       "nothere が見つかりませんでした。\n変換元ファイルがリストにありません\n"},
      {"NUL byte", "convert --dest out in/nul.txt", 1,
       "変換元ファイルにNULバイトが含まれているため、変換できません。\n"},
      {"folder is walked", "convert --no-output-unchanged --dest out in2", 0, ""},
      {"unknown option", "convert --bogus in/a.txt", 2, "*"},
      {"bad --kanji", "convert --kanji sjis in/a.txt", 2, "*"},
      {"missing --dest value", "convert in/a.txt --dest", 2, "*"},
      {"contradicting switches", "convert --overwrite --no-overwrite in/a.txt", 2, "*"},
      {"no subcommand", "", 2, "*"},
      {"detect without paths", "detect", 2, "*"},
      {"help", "--help", 0, ""},
      {"convert help", "convert --help", 0, ""},
      {"detect help", "detect --help", 0, ""},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    if (c.err == "*") {
      EXPECT_NE(r.err, "") << c.name;
    } else {
      EXPECT_EQ(r.err, c.err) << c.name;
    }
  }
}

// A text that cannot be converted exactly fails its file, with nothing
// written; --substitute writes 〓 instead and reports how many.
TEST_F(CliTest, UnconvertibleTextsAreRefusedOrSubstituted) {
  // あい, then € and a stray byte: UTF-8 (12 of 13 bytes in valid sequences)
  const std::string utf8 = "\xe3\x81\x82\xe3\x81\x84\n\xe2\x82\xac\xff\n";
  WriteFile(dir / "in/u.txt", utf8);
  WriteFile(dir / "in/a.txt", "a\n");
  const std::string refusal =
      "変換元ファイルの 2 行目に、シフトJISで表せない文字 U+20AC (€) "
      "があるため、変換できません。\n";
  RunResult r = Run("convert --kanji auto --dest out in");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, refusal);
  EXPECT_FALSE(Exists(dir / "out/u.txt"));
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "a\r\n");  // the run goes on

  r = Run("convert --kanji auto --overwrite in/u.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, refusal);
  EXPECT_EQ(Hex(ReadFile(dir / "in/u.txt")), Hex(utf8));

  r = Run("convert --kanji auto --substitute --dest out in/u.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "in/u.txt: 〓 に置き換えた文字 2 個\n");
  EXPECT_EQ(Hex(ReadFile(dir / "out/u.txt")), Hex("\x82\xa0\x82\xa2\r\n\x81\xac\x81\xac\r\n"));

  // EUC and JIS: nothing after the odd character is damaged.
  struct Case {
    const char* kanji;
    std::string source;
    std::string refusal;
    std::string substituted;
  };
  const std::vector<Case> cases = {
      {"euc", "T\x8f\xab\xd7kaido\n",
       "変換元ファイルの 1 行目に、シフトJISで表せない文字 U+014D (ō) があるため、変換できません。",
       "T\x81\xackaido\r\n"},
      {"jis", "x\x1b$B0\n!\x1b(B\n",
       "変換元ファイルの 1 行目に、変換できないバイト列 (30) があるため、変換できません。",
       "x\x81\xac\r\n\x81\xac\r\n"},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "in/c.txt", c.source);
    r = Run(std::string("convert --kanji ") + c.kanji + " --overwrite in/c.txt");
    EXPECT_EQ(r.status, 1) << c.kanji;
    EXPECT_EQ(r.err, c.refusal + "\n") << c.kanji;
    EXPECT_EQ(Hex(ReadFile(dir / "in/c.txt")), Hex(c.source)) << c.kanji;
    r = Run(std::string("convert --kanji ") + c.kanji + " --substitute --overwrite in/c.txt");
    EXPECT_EQ(r.status, 0) << c.kanji << r.err;
    EXPECT_EQ(Hex(ReadFile(dir / "in/c.txt")), Hex(c.substituted)) << c.kanji;
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

// On a terminal (a pseudo-terminal made by script(1)) the typed answer decides.
TEST_F(CliTest, OverwriteQuestionOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  struct Case {
    const char* typed;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"はい", true}, {"y", true}, {"YES", true}, {"n", false}, {"", false}, {"yess", false},
  };
  WriteFile(dir / "in/a.txt", "new\n");
  for (const auto& c : cases) {
    WriteFile(dir / "out/a.txt", "old");
    const std::string command = "cd '" + dir.path().string() + "' && (sleep 0.3; printf '%s\\n' '" +
                                c.typed +
                                "') | script -qec \"'" OSTREVIN_CLI
                                "' convert --dest out in/a.txt\" /dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.typed;
    EXPECT_EQ(WEXITSTATUS(status), c.replaced ? 0 : 1) << c.typed;
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), c.replaced ? "new\r\n" : "old") << c.typed;
  }
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

TEST_F(CliTest, TableOption) {
  WriteFile(dir / "in/a.txt", "cat and cat\n");
  WriteFile(dir / "t.txt", "cat\tdog\n");
  RunResult r = Run("convert --table t.txt --dest out in/a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "dog and dog\r\n");
  r = Run("convert --table t.txt --no-table -y --dest out in/a.txt");
  EXPECT_EQ(r.status, 2);  // --table and --no-table exclude each other
}

TEST_F(CliTest, OptionsReachTheirStages) {
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

// --- detect --------------------------------------------------------------------------------
TEST_F(CliTest, DetectPrintsOneLinePerFile) {
  WriteFile(dir / "in/e.txt", kEuc);
  WriteFile(dir / "in/j.txt", kJis);
  WriteFile(dir / "in/s.txt", kSjis);
  WriteFile(dir / "in/n.txt", "ascii\n");
  WriteFile(dir / "in/u.txt", "\xe6\xbc\xa2\xe5\xad\x97\n");    // 漢字 in UTF-8
  WriteFile(dir / "in/z.txt", std::string("ab\0\xa4\xa2", 5));  // EUC after the NUL is not read
  RunResult r = Run("detect in");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "in/e.txt: euc\nin/j.txt: jis\nin/n.txt: none\nin/s.txt: sjis\nin/u.txt: utf8\n"
            "in/z.txt: none\n");

  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  r = Run("detect in/e.txt nothere fifo");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "in/e.txt: euc\n");
  EXPECT_EQ(r.err,
            "nothere が見つかりませんでした。\n"
            "fifo: 変換元ファイルをオープンできません。(Error:22)\n");
}

}  // namespace
}  // namespace ostrevin
