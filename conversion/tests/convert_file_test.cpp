// The file pipeline through the real file system: the stages and the change
// flag, every message of the pipeline, and how the output is replaced.
#include "conversion/convert_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/tests/pipeline_fixture.h"
#include "core/file_error.h"

namespace ostrevin {
namespace {

using testing::Exists;
using testing::Hex;
using testing::ReadFile;
using testing::WriteFile;
using Calls = std::vector<std::string>;

const std::string kBusyOnly[] = {"busy on", "busy off"};

class ConvertFileTest : public testing::PipelineTest {
 protected:
  FileOutcome Convert(const std::string& source, const std::string& output) {
    ConversionRun run(options, host);
    const FileOutcome outcome = ConvertOneFile(run, source, output);
    changed = run.changed;
    return outcome;
  }
  bool changed = false;
};

// --- Stages and the change flag -----------------------------------------------
struct StageCase {
  const char* name;
  bool kanji_convert;
  int kanji_code;
  std::string source;
  std::string output;  // as written, CR LF line ends
  bool changed;
};

TEST_F(ConvertFileTest, StagesAndChangeFlag) {
  const std::vector<StageCase> cases = {
      {"ascii CR LF unchanged", false, 0, "a\r\nb", "a\r\nb", false},
      {"LF only becomes CR LF", false, 0, "a\nb\n", "a\r\nb\r\n", true},
      {"CR only becomes CR LF", false, 0, "a\rb", "a\r\nb", true},
      {"final lone CR", false, 0, "a\r", "a\r\n", true},
      {"0x1A kept", false, 0, "a\x1a\r\nb", "a\x1a\r\nb", false},
      {"empty", false, 0, "", "", false},
      {"auto: sjis unchanged", true, 0, "\x82\xa0\r\n", "\x82\xa0\r\n", false},
      {"auto: EUC あ", true, 0, "\xa4\xa2\r\n", "\x82\xa0\r\n", true},
      {"auto: JIS あ, LF", true, 0, "\x1b$B\x24\x22\x1b(B\n", "\x82\xa0\r\n", true},
      {"forced EUC on ascii still a change", true, 1, "a\r\n", "a\r\n", true},
      {"forced JIS on ascii still a change", true, 2, "a\r\n", "a\r\n", true},
      {"code off: EUC bytes kept", false, 1, "\xa4\xa2", "\xa4\xa2", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    options = {};
    options.KanjiConvert = c.kanji_convert;
    options.KanjiCode = c.kanji_code;
    options.OverWrite = true;
    const std::string source = dir / "in.txt";
    const std::string output = dir / "out.txt";
    WriteFile(source, c.source);
    unlink(output.c_str());
    host.calls.clear();
    EXPECT_EQ(Convert(source, output), FileOutcome::kWritten);
    EXPECT_EQ(changed, c.changed);
    EXPECT_EQ(Hex(ReadFile(output)), Hex(c.output));
    EXPECT_EQ(host.calls, Calls(std::begin(kBusyOnly), std::end(kBusyOnly)));

    // With NoOutput the flag decides whether anything is written.
    options.NoOutput = true;
    unlink(output.c_str());
    EXPECT_EQ(Convert(source, output), c.changed ? FileOutcome::kWritten : FileOutcome::kUnchanged);
    EXPECT_EQ(Exists(output), c.changed);
  }
}

TEST_F(ConvertFileTest, NoOutputLeavesExistingOutputUntouched) {
  options.NoOutput = true;
  options.OverWrite = true;
  WriteFile(dir / "in", "same\r\n");
  WriteFile(dir / "out", "old");
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kUnchanged);
  ConversionRun run(options, host);
  EXPECT_TRUE(ConvertFile(run, dir / "in", dir / "out"));
  EXPECT_EQ(ReadFile(dir / "out"), "old");
}

TEST_F(ConvertFileTest, TableStageSetsTheChangeFlag) {
  options.NoOutput = true;
  options.OverWrite = true;
  options.UseTable = true;
  WriteFile(dir / "in", "cat\r\n");
  ConversionRun run(options, host);
  run.table.Add("cat", "dog");
  EXPECT_EQ(ConvertOneFile(run, dir / "in", dir / "out"), FileOutcome::kWritten);
  EXPECT_TRUE(run.changed);
  EXPECT_EQ(ReadFile(dir / "out"), "dog\r\n");
}

// --- Sources that are refused --------------------------------------------------
struct RefusedCase {
  const char* name;
  std::string source_name;
  std::string message;
};

TEST_F(ConvertFileTest, RefusedSourcesShowTheOpenMessage) {
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // opening it would block
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  const std::vector<RefusedCase> cases = {
      {"missing", "missing", "変換元ファイルをオープンできません。(Error:2)"},
      {"dangling link", "dangling", "変換元ファイルをオープンできません。(Error:2)"},
      {"folder", "folder", "変換元ファイルをオープンできません。(Error:21)"},
      {"fifo", "fifo", "変換元ファイルをオープンできません。(Error:22)"},
      {"not a folder", "folder/../missing/x", "変換元ファイルをオープンできません。(Error:2)"},
  };
  options.OverWrite = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.calls.clear();
    EXPECT_EQ(Convert(dir / c.source_name, dir / "out"), FileOutcome::kFailed);
    EXPECT_EQ(host.calls,
              (Calls{"busy on", "message[エラー/exclamation] " + c.message, "busy off"}));
    EXPECT_FALSE(Exists(dir / "out"));
  }
}

TEST_F(ConvertFileTest, SourceWithNulIsNotConvertedNorShortened) {
  options.OverWrite = true;
  const std::string source = dir / "nul.txt";
  const std::string bytes("a\nb\0c\n", 6);
  WriteFile(source, bytes);
  EXPECT_EQ(Convert(source, source), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(),
            (Calls{"message[エラー/exclamation] "
                   "変換元ファイルにNULバイトが含まれているため、変換できません。"}));
  EXPECT_EQ(Hex(ReadFile(source)), Hex(bytes));
}

TEST_F(ConvertFileTest, ConversionThatProducesNulFails) {
  options.OverWrite = true;
  options.KanjiConvert = true;
  options.KanjiCode = 1;  // forced EUC: 0xA1 0x61 becomes 0x81 0x00
  const std::string source = dir / "bad.txt";
  WriteFile(source, "x\xa1\x61y");
  EXPECT_EQ(Convert(source, source), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(), (Calls{"message[エラー/exclamation] "
                                   "変換中にNULバイトが生じたため、変換できません。"}));
  EXPECT_EQ(Hex(ReadFile(source)), Hex("x\xa1\x61y"));
}

// --- The overwrite question -----------------------------------------------------
TEST_F(ConvertFileTest, DecliningTheOverwriteReadsNothing) {
  WriteFile(dir / "out", "keep");
  // The source does not exist: had it been opened, its error would show.
  EXPECT_EQ(Convert(dir / "missing", dir / "out"), FileOutcome::kFailed);
  EXPECT_EQ(host.calls,
            (Calls{"busy on",
                   "ask[確認/question] " + (dir / "out") + " は上書きされます。よろしいですか？",
                   "busy off"}));
  EXPECT_EQ(ReadFile(dir / "out"), "keep");
}

TEST_F(ConvertFileTest, AcceptedOverwriteReplacesAndOverWriteAsksNothing) {
  WriteFile(dir / "in", "new\n");
  WriteFile(dir / "out", "old");
  host.answers = {true};
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kWritten);
  EXPECT_EQ(host.Dialogs().size(), 1u);
  EXPECT_EQ(ReadFile(dir / "out"), "new\r\n");

  options.OverWrite = true;
  host.calls.clear();
  WriteFile(dir / "in", "newer\n");
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kWritten);
  EXPECT_TRUE(host.Dialogs().empty());
  EXPECT_EQ(ReadFile(dir / "out"), "newer\r\n");
}

// --- Outputs that cannot be created ---------------------------------------------
TEST_F(ConvertFileTest, OutputThatCannotBeCreated) {
  WriteFile(dir / "in", "x\n");
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
  options.OverWrite = true;
  struct Case {
    std::string output;
    std::string error;
  };
  for (const auto& c : std::vector<Case>{
           {dir / "no/such/folder/out", "2"}, {dir / "folder", "21"}, {dir / "in/child", "20"}}) {
    SCOPED_TRACE(c.output);
    host.calls.clear();
    EXPECT_EQ(Convert(dir / "in", c.output), FileOutcome::kFailed);
    EXPECT_EQ(host.Dialogs(), (Calls{"message[エラー/exclamation] 変換先のフォルダがないか、\n"
                                     "変換先ファイルをオープンできません。(Error:" +
                                     c.error + ")"}));
  }
  EXPECT_EQ(Names(), (Calls{"folder", "in"}));
}

TEST_F(ConvertFileTest, FolderAsOutputIsAskedAboutThenRefused) {
  WriteFile(dir / "in", "x\n");
  ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  host.answers = {true};
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kFailed);
  ASSERT_EQ(host.Dialogs().size(), 2u);
  EXPECT_TRUE(host.Dialogs()[0].starts_with("ask[確認/question] "));
  EXPECT_TRUE(host.Dialogs()[1].ends_with("(Error:21)"));
}

// --- Replacing the output --------------------------------------------------------
TEST_F(ConvertFileTest, NewOutputGetsUmaskModeReplacedKeepsItsMode) {
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  const mode_t saved = umask(027);
  EXPECT_EQ(Convert(dir / "in", dir / "new"), FileOutcome::kWritten);
  umask(saved);
  EXPECT_EQ(ModeOf(dir / "new"), 0640u);

  WriteFile(dir / "old", "y");
  ASSERT_EQ(chmod((dir / "old").c_str(), 0604), 0);
  EXPECT_EQ(Convert(dir / "in", dir / "old"), FileOutcome::kWritten);
  EXPECT_EQ(ModeOf(dir / "old"), 0604u);
  EXPECT_EQ(Names(), (Calls{"in", "new", "old"}));  // no temporary file left
}

TEST_F(ConvertFileTest, SymbolicLinkIsFollowed) {
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  WriteFile(dir / "real", "old");
  ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
  EXPECT_EQ(Convert(dir / "in", dir / "link"), FileOutcome::kWritten);
  struct stat info {};
  ASSERT_EQ(lstat((dir / "link").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(dir / "real"), "x\r\n");
  EXPECT_EQ(Names(), (Calls{"in", "link", "real"}));
}

TEST_F(ConvertFileTest, HardLinkedOutputIsWrittenInPlace) {
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  WriteFile(dir / "out", "old");
  ASSERT_EQ(link((dir / "out").c_str(), (dir / "twin").c_str()), 0);
  const ino_t before = InodeOf(dir / "out");
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kWritten);
  EXPECT_EQ(InodeOf(dir / "out"), before);
  EXPECT_EQ(ReadFile(dir / "twin"), "x\r\n");
}

TEST_F(ConvertFileTest, WritableFileInReadOnlyFolderIsWrittenInPlace) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  ASSERT_EQ(mkdir((dir / "locked").c_str(), 0700), 0);
  WriteFile(dir / "locked/out", "old");
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0500), 0);
  EXPECT_EQ(Convert(dir / "in", dir / "locked/out"), FileOutcome::kWritten);
  EXPECT_EQ(ReadFile(dir / "locked/out"), "x\r\n");
}

TEST_F(ConvertFileTest, ReadOnlyOutputIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes any file";
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  WriteFile(dir / "out", "old");
  ASSERT_EQ(chmod((dir / "out").c_str(), 0444), 0);
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(), (Calls{"message[エラー/exclamation] 変換先のフォルダがないか、\n"
                                   "変換先ファイルをオープンできません。(Error:13)"}));
  EXPECT_EQ(ReadFile(dir / "out"), "old");
}

TEST_F(ConvertFileTest, WriteFailureEndsWithFileErrorAndLeavesOutputAlone) {
  options.OverWrite = true;
  WriteFile(dir / "in", std::string(100000, 'a'));
  WriteFile(dir / "out", "old");
  try {
    FileSizeLimit limit(4096);
    (void)Convert(dir / "in", dir / "out");
    ADD_FAILURE() << "no FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.kind(), FileErrorKind::kDiskFull);
    EXPECT_EQ(error.path(), dir / "out");
    EXPECT_EQ(error.error_number(), EFBIG);
  }
  EXPECT_EQ(ReadFile(dir / "out"), "old");
  EXPECT_EQ(Names(), (Calls{"in", "out"}));               // the temporary file is gone
  EXPECT_EQ(host.calls, (Calls{"busy on", "busy off"}));  // busy cursor off on that path too
}

// /proc/self/mem is a regular file whose first page cannot be read (EIO).
TEST_F(ConvertFileTest, ReadFailureAfterOpeningEndsWithFileError) {
  const std::string source = "/proc/self/mem";
  if (!Exists(source)) GTEST_SKIP() << "no /proc";
  options.OverWrite = true;
  try {
    (void)Convert(source, dir / "out");
    ADD_FAILURE() << "no FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.kind(), FileErrorKind::kHardIO);
    EXPECT_EQ(error.path(), source);
  }
  EXPECT_EQ(host.calls, (Calls{"busy on", "busy off"}));
  EXPECT_FALSE(Exists(dir / "out"));
}

TEST_F(ConvertFileTest, LongNameStillGetsATemporaryFile) {
  options.OverWrite = true;
  WriteFile(dir / "in", "x\n");
  const std::string name(255, 'n');
  WriteFile(dir / name, "old");
  EXPECT_EQ(Convert(dir / "in", dir / name), FileOutcome::kWritten);
  EXPECT_EQ(ReadFile(dir / name), "x\r\n");
  EXPECT_EQ(Names().size(), 2u);
}

}  // namespace
}  // namespace ostrevin
