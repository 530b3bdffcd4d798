// The file pipeline through the real file system: the stages and the change
// flag, every message of the pipeline, and how the output is replaced.
#include "conversion/convert_file.h"

#include <sys/stat.h>
#include <unistd.h>

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

const std::string kOutputError =
    "message[エラー/exclamation] 変換先のフォルダがないか、\n変換先ファイルをオープンできません。";

class ConvertFileTest : public testing::PipelineTest {
 protected:
  FileOutcome Convert(const std::string& source, const std::string& output) {
    ConversionRun run(options, host);
    const FileOutcome outcome = ConvertOneFile(run, source, output);
    changed = run.changed;
    return outcome;
  }
  // Converts a one-line source "in" into `output`, which it may replace:
  // these cases are about the writing, so the overwrite question is answered
  // Yes and left out of the calls.
  FileOutcome ConvertOver(const std::string& output) {
    WriteFile(dir / "in", "x\n");
    host.answers = {true};
    const FileOutcome outcome = Convert(dir / "in", output);
    std::erase_if(host.calls, [](const std::string& call) { return call.starts_with("ask["); });
    host.answers.clear();
    return outcome;
  }
  bool changed = false;
};

std::string Times(const std::string& piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// Hex shows where bytes differ; some rows run to megabytes, so it is made
// only then.
void ExpectBytes(const std::string& actual, const std::string& expected) {
  if (actual != expected) {
    EXPECT_EQ(Hex(actual), Hex(expected));
  }
}

// --- Stages and the change flag -----------------------------------------------
// One row per stage that may or may not change the text.
TEST_F(ConvertFileTest, StagesAndChangeFlag) {
  struct StageCase {
    const char* name;
    bool kanji_convert;
    int kanji_code;
    std::string source;
    std::string output;  // as written, CR LF line ends
    bool changed;
  };
  const std::vector<StageCase> cases = {
      {"ascii CR LF unchanged", false, 0, "a\r\nb", "a\r\nb", false},
      {"LF only becomes CR LF", false, 0, "a\nb\n", "a\r\nb\r\n", true},
      {"0x1A kept", false, 0, "a\x1a\r\nb", "a\x1a\r\nb", false},
      {"empty", false, 0, "", "", false},
      {"auto: sjis unchanged", true, 0, "\x82\xa0\r\n", "\x82\xa0\r\n", false},
      {"auto: EUC あ", true, 0, "\xa4\xa2\r\n", "\x82\xa0\r\n", true},
      {"forced EUC on ascii still a change", true, 1, "a\r\n", "a\r\n", true},
      {"forced JIS on ascii still a change", true, 2, "a\r\n", "a\r\n", true},
      {"code off: EUC bytes kept", false, 1, "\xa4\xa2", "\xa4\xa2", false},
      {"auto: UTF-8 あ", true, 0, "\xe3\x81\x82\n", "\x82\xa0\r\n", true},
      {"auto: a UTF-8 BOM alone", true, 0, "\xef\xbb\xbf", "", true},
      {"forced UTF-8 on ascii still a change", true, 3, "a\r\n", "a\r\n", true},
      {"code off: UTF-8 unchecked", false, 3, "\xe2\x82\xac\xff", "\xe2\x82\xac\xff", false},
      // Many blocks of the one-pass write, each written while the next is made.
      {"forced EUC あ over many blocks", true, 1, Times("\xa4\xa2z\n", 40000),
       Times("\x82\xa0z\r\n", 40000), true},
      // Detection over every piece the source is read in, not the first.
      {"auto: EUC after a MiB of ASCII", true, 0, Times("x\n", 600'000) + "\xa4\xa2",
       Times("x\r\n", 600'000) + "\x82\xa0", true},
      // UTF-8 over the first piece, then 11% of bytes that UTF-8 does not
      // take: read again for the EUC and Shift-JIS readings, which find EUC
      // (EF BD B1 EF BD B1, ｱｱ, is three EUC pairs, and two half-width
      // katakana in Shift-JIS). The stray bytes come on lines of their own,
      // or as the last line, read at the end.
      {"auto: a MiB of UTF-8, then lines of stray bytes", true, 0,
       Times("ｱｱ\n", 150'000) + Times("\xa4\xa2\n", 55'000),
       Times("\xe8\x5c\x89\x8f\x8f\x50\r\n", 150'000) + Times("\x82\xa0\r\n", 55'000), true},
      {"auto: a MiB of UTF-8, then a last line of stray bytes", true, 0,
       Times("ｱｱ\n", 150'000) + Times("\xa4\xa2", 55'000),
       Times("\xe8\x5c\x89\x8f\x8f\x50\r\n", 150'000) + Times("\x82\xa0", 55'000), true},
  };
  const std::string source = dir / "in.txt";
  const std::string output = dir / "out.txt";
  // Each row twice: in the one pass that writes while it converts, and, with
  // a pattern table that changes nothing, through the stages on the whole
  // text.
  for (const bool whole_text : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (whole_text ? ", whole text" : ""));
      options = {};
      options.UseTable = whole_text;
      options.RegExp = whole_text ? 1 : 0;
      options.KanjiConvert = c.kanji_convert;
      options.KanjiCode = c.kanji_code;
      options.OverWrite = true;
      WriteFile(source, c.source);
      unlink(output.c_str());
      host.calls.clear();
      EXPECT_EQ(Convert(source, output), FileOutcome::kWritten);
      EXPECT_EQ(changed, c.changed);
      ExpectBytes(ReadFile(output), c.output);
      EXPECT_EQ(host.calls, (Calls{"busy on", "busy off"}));

      // With NoOutput the flag decides whether the output is written; an
      // unchanged file leaves an existing output alone, and the batch run
      // counts it as done.
      options.NoOutput = true;
      WriteFile(output, "old");
      host.answers = {true, true};  // the existing output is not the source
      EXPECT_EQ(Convert(source, output),
                c.changed ? FileOutcome::kWritten : FileOutcome::kUnchanged);
      ExpectBytes(ReadFile(output), c.changed ? c.output : "old");
      ConversionRun run(options, host);
      EXPECT_TRUE(ConvertFile(run, source, output));
    }
  }
}

// A simple table runs in the same pass, on the text with LF line ends, across
// the pieces the source is read in.
TEST_F(ConvertFileTest, SimpleTableRunsWhileTheSourceIsRead) {
  options.UseTable = true;
  options.KanjiConvert = true;
  options.KanjiCode = 1;
  const std::string source = dir / "in.txt";
  WriteFile(source, Times("\xa4\xa2z\r\nx", 400'000));
  ConversionRun run(options, host);
  run.table.Add("z\nx\x82", "-");
  EXPECT_EQ(ConvertOneFile(run, source, dir / "out.txt"), FileOutcome::kWritten);
  EXPECT_TRUE(ReadFile(dir / "out.txt") == "\x82\xa0" + Times("-\xa0", 399'999) + "z\r\nx");
  EXPECT_EQ(host.calls, (Calls{"busy on", "busy off"}));
}

// --- Sources that are refused --------------------------------------------------
// A NUL byte in the source, or a text that cannot be converted exactly,
// refuses the file and leaves it as it was.
TEST_F(ConvertFileTest, RefusedTextsAreLeftAsTheyWere) {
  struct Case {
    const char* name;
    std::string bytes;
    int kanji_code;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"NUL in the source", std::string("a\nb\0c\n", 6), 0,
       "変換元ファイルにNULバイトが含まれているため、変換できません。"},
      {"EUC lead without its partner", "x\xa1\x61y", 1,
       "変換元ファイルの 1 行目に、変換できないバイト列 (A1) があるため、変換できません。"},
      {"JIS X 0212 that Shift-JIS cannot hold", "\n\x8f\xab\xd7", 1,
       "変換元ファイルの 2 行目に、シフトJISで表せない文字 U+014D (ō) "
       "があるため、変換できません。"},
      {"unknown JIS escape", "\x1b$(D", 2,
       "変換元ファイルの 1 行目に、変換できないバイト列 (1B 24 28 44) "
       "があるため、変換できません。"},
      {"UTF-8 € found automatically", "\xe3\x81\x82\n\xe2\x82\xac\n", 0,
       "変換元ファイルの 2 行目に、シフトJISで表せない文字 U+20AC (€) "
       "があるため、変換できません。"},
      {"Shift-JIS with UTF-8 forced", "a\r\n\x82\xa0", 3,
       "変換元ファイルの 2 行目に、変換できないバイト列 (82) があるため、変換できません。"},
      // Sources larger than what is read at a time: the line is counted
      // over the whole file, and a NUL byte far behind a problem is told.
      {"problem after a megabyte", Times("\xa4\xa2\r\nx\ry\n", 200'000) + "\xa1\n", 1,
       "変換元ファイルの 600001 行目に、変換できないバイト列 (A1) があるため、変換できません。"},
      {"NUL after a megabyte and a problem", "\xa1\n" + Times("x\n", 1'000'000) + '\0', 1,
       "変換元ファイルにNULバイトが含まれているため、変換できません。"},
  };
  options.OverWrite = true;
  options.KanjiConvert = true;
  const std::string source = dir / "nul.txt";
  for (const auto& c : cases) {
    // In place, and into a new file, which is written while it is read.
    for (const std::string& output : {source, std::string(dir / "new.txt")}) {
      SCOPED_TRACE(std::string(c.name) + " into " + output);
      host.calls.clear();
      options.KanjiCode = c.kanji_code;
      WriteFile(source, c.bytes);
      EXPECT_EQ(Convert(source, output), FileOutcome::kFailed);
      EXPECT_EQ(host.Dialogs(), (Calls{"message[エラー/exclamation] " + c.message}));
      EXPECT_TRUE(ReadFile(source) == c.bytes);
      EXPECT_FALSE(Exists(dir / "new.txt"));
    }
  }
  // A NUL byte stops the reading: a sparse file of 1 TiB that starts with one
  // is refused at once (read whole, it would take hours or all memory).
  const std::string sparse = dir / "sparse";
  WriteFile(sparse, std::string(1, '\0'));
  if (truncate(sparse.c_str(), off_t{1} << 40) != 0) GTEST_SKIP() << "no sparse file of 1 TiB";
  host.calls.clear();
  EXPECT_EQ(Convert(sparse, sparse), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(), (Calls{"message[エラー/exclamation] " + cases[0].message}));
}

// With the run's substitution, what cannot be converted becomes 〓 and the
// count is shown.
TEST_F(ConvertFileTest, SubstitutionWritesMarksAndTheirCount) {
  options.KanjiConvert = true;
  const std::string source = dir / "in.txt";
  WriteFile(source, "\xe3\x81\x82\xe3\x81\x84\xe2\x82\xac\xff\n");  // あい€ and a stray byte
  ConversionRun run(options, host);
  run.unconvertible = Unconvertible::kSubstitute;
  EXPECT_EQ(ConvertOneFile(run, source, dir / "out.txt"), FileOutcome::kWritten);
  EXPECT_EQ(Hex(ReadFile(dir / "out.txt")), Hex("\x82\xa0\x82\xa2\x81\xac\x81\xac\r\n"));
  EXPECT_EQ(host.Dialogs(), (Calls{"message[/none] " + source + ": 〓 に置き換えた文字 2 個"}));
}

// --- The overwrite question -----------------------------------------------------
TEST_F(ConvertFileTest, OverwriteQuestion) {
  const std::string question =
      "ask[確認/question] " + (dir / "out") + " は上書きされます。よろしいですか？";
  WriteFile(dir / "out", "keep");
  // Declined: the source is not even opened (had it been, its error would show).
  EXPECT_EQ(Convert(dir / "missing", dir / "out"), FileOutcome::kFailed);
  EXPECT_EQ(host.calls, (Calls{"busy on", question, "busy off"}));
  EXPECT_EQ(ReadFile(dir / "out"), "keep");

  WriteFile(dir / "in", "new\n");
  host.calls.clear();
  host.answers = {true};
  EXPECT_EQ(Convert(dir / "in", dir / "out"), FileOutcome::kWritten);
  EXPECT_EQ(host.Dialogs(), (Calls{question}));
  EXPECT_EQ(ReadFile(dir / "out"), "new\r\n");

  // A new output asks nothing, and neither does OverWrite onto the source
  // itself, also by another name (a hard link to it).
  host.calls.clear();
  EXPECT_EQ(Convert(dir / "in", dir / "fresh"), FileOutcome::kWritten);
  options.OverWrite = true;
  EXPECT_EQ(Convert(dir / "in", dir / "in"), FileOutcome::kWritten);
  ASSERT_EQ(link((dir / "in").c_str(), (dir / "in-link").c_str()), 0);
  EXPECT_EQ(Convert(dir / "in", dir / "in-link"), FileOutcome::kWritten);
  EXPECT_TRUE(host.Dialogs().empty());
}

// With OverWrite an existing output that is not the source (the ".txt" that
// HTML stripping appends) is somebody else's file: it is asked about.
TEST_F(ConvertFileTest, OverwriteAsksWhenTheOutputIsNotTheSource) {
  const std::string output = dir / "page.txt";
  const std::string question =
      "ask[確認/question] " + output + " は上書きされます。よろしいですか？";
  WriteFile(output, "precious");
  WriteFile(dir / "page", "x\n");
  options.OverWrite = true;
  EXPECT_EQ(Convert(dir / "page", output), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(), (Calls{question}));
  EXPECT_EQ(ReadFile(output), "precious");
  host.calls.clear();
  host.answers = {true};
  EXPECT_EQ(Convert(dir / "page", output), FileOutcome::kWritten);
  EXPECT_EQ(host.Dialogs(), (Calls{question}));
  EXPECT_EQ(ReadFile(output), "x\r\n");
}

// --- An output that cannot be replaced ------------------------------------------
TEST_F(ConvertFileTest, ReadOnlyOutputIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes any file";
  WriteFile(dir / "out", "old");
  ASSERT_EQ(chmod((dir / "out").c_str(), 0444), 0);
  EXPECT_EQ(ConvertOver(dir / "out"), FileOutcome::kFailed);
  EXPECT_EQ(host.Dialogs(), (Calls{kOutputError + "(Error:13)"}));
  EXPECT_EQ(ReadFile(dir / "out"), "old");
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

// --- Replacing the output --------------------------------------------------------
TEST_F(ConvertFileTest, NewOutputGetsUmaskModeReplacedKeepsItsMode) {
  const mode_t saved = umask(027);
  EXPECT_EQ(ConvertOver(dir / "new"), FileOutcome::kWritten);
  umask(saved);
  EXPECT_EQ(ModeOf(dir / "new"), 0640u);

  WriteFile(dir / "old", "y");
  ASSERT_EQ(chmod((dir / "old").c_str(), 0604), 0);
  EXPECT_EQ(ConvertOver(dir / "old"), FileOutcome::kWritten);
  EXPECT_EQ(ModeOf(dir / "old"), 0604u);
  EXPECT_EQ(Names(), (Calls{"in", "new", "old"}));  // no temporary file left
}

TEST_F(ConvertFileTest, SymbolicLinkIsFollowed) {
  WriteFile(dir / "real", "old");
  ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
  EXPECT_EQ(ConvertOver(dir / "link"), FileOutcome::kWritten);
  struct stat info {};
  ASSERT_EQ(lstat((dir / "link").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(dir / "real"), "x\r\n");
  EXPECT_EQ(Names(), (Calls{"in", "link", "real"}));
}

TEST_F(ConvertFileTest, HardLinkedOutputIsWrittenInPlace) {
  WriteFile(dir / "out", "old");
  ASSERT_EQ(link((dir / "out").c_str(), (dir / "twin").c_str()), 0);
  const ino_t before = InodeOf(dir / "out");
  EXPECT_EQ(ConvertOver(dir / "out"), FileOutcome::kWritten);
  EXPECT_EQ(InodeOf(dir / "out"), before);
  EXPECT_EQ(ReadFile(dir / "twin"), "x\r\n");
}

}  // namespace
}  // namespace ostrevin
