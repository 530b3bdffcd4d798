// Tests for LoadConversionTable: both modes, comments, field splitting, the
// text-mode reading rules, and files that cannot be opened or read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/file_error.h"
#include "core/testing/recording_host.h"
#include "core/testing/scratch_folder.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

using Entries = std::vector<std::string>;

const char kOpenMessagePrefix[] =
    "message[エラー/exclamation] 変換テーブルファイルをオープンできません。(Error:";
const char kOpenMessageSuffix[] = ")\n変換テーブルを通さずに処理を続行します。";

std::string OpenMessage(int error_number) {
  return kOpenMessagePrefix + std::to_string(error_number) + kOpenMessageSuffix;
}

class LoadTableTest : public ::testing::Test {
 protected:
  // Loads `bytes` as a table file and expects no message.
  ConversionTable Load(std::string_view bytes, bool pattern_mode) {
    const std::string path = folder_.Write("table.txt", bytes);
    ConversionTable table;
    EXPECT_TRUE(LoadConversionTable(path, pattern_mode, table, host_));
    EXPECT_TRUE(host_.calls.empty());
    return table;
  }

  testing::ScratchFolder folder_;
  testing::RecordingHost host_;
};

// Simple mode: the decoding examples, one line each.
struct LineCase {
  const char* name;
  std::string line;
  std::string search;
  std::string replacement;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class SimpleLineTest : public LoadTableTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SimpleLineTest, SplitsAndDecodes) {
  const ConversionTable table = Load(GetParam().line, false);
  ASSERT_EQ(table.search.size(), 1u);
  ASSERT_EQ(table.replacements.size(), 1u);
  EXPECT_EQ(table.search[0], GetParam().search);
  EXPECT_EQ(table.replacements[0], GetParam().replacement);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimpleLineTest,
    ::testing::Values(LineCase{"escapes_in_both", "a\\tb\tc\\\\d", "a\tb", "c\\d"},
                      LineCase{"hex_and_lf", "\\x41\\x4a\t\\n", "AJ", "\n"},
                      LineCase{"bad_hex_ends_field", "ab\\xZ1cd\tx", "ab", "x"},
                      LineCase{"short_hex_at_end", "ab\\x4", "ab", ""},
                      LineCase{"unknown_escape_then_trailing_backslash", "\\q\tabc\\", "", "abc"},
                      LineCase{"tabs_skipped_extra_field_ignored", "\t\tabc\t\tx\ty", "abc", "x"},
                      // 表 = 95 5C: its trail byte starts no escape.
                      LineCase{"hyou_then_escaped_hash", "\x95\x5C\t\\#1", "\x95\x5C", "#1"},
                      LineCase{"no_tab_empty_replacement", "abc", "abc", ""},
                      LineCase{"blank_then_hash_is_entry", " #x\ty", " #x", "y"},
                      LineCase{"escaped_hash_search", "\\#x\ty", "#x", "y"},
                      LineCase{"empty_line", "\n", "", ""},
                      LineCase{"lone_cr_stays", "a\rb\tc", "a\rb", "c"},
                      LineCase{"nul_ends_line", std::string("ab\tc\0d\te", 8), "ab", "c"}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines, comments and line ends.
TEST_F(LoadTableTest, CommentsAreSkippedInBothModes) {
  const std::string file = "#comment\na\tb\n#\tx\ns/a/b/\n";
  EXPECT_EQ(Load(file, false).search, (Entries{"a", "s/a/b/"}));
  EXPECT_EQ(Load(file, true).search, (Entries{"a\tb", "s/a/b/"}));
}

TEST_F(LoadTableTest, OnlyCommentsGiveAnEmptyTable) {
  const ConversionTable table = Load("# one\n# two\n", false);
  EXPECT_TRUE(table.search.empty());
  EXPECT_TRUE(table.replacements.empty());
}

TEST_F(LoadTableTest, CrLfIsTakenAsLfAndTheLastLineNeedsNoLineEnd) {
  const ConversionTable table = Load("a\tb\r\nc\td\r\n\r\ne\tf", false);
  EXPECT_EQ(table.search, (Entries{"a", "c", "", "e"}));
  EXPECT_EQ(table.replacements, (Entries{"b", "d", "", "f"}));
}

TEST_F(LoadTableTest, EmptyFileGivesAnEmptyTable) { EXPECT_TRUE(Load("", false).search.empty()); }

TEST_F(LoadTableTest, CrAtTheEndOfTheFileStays) {
  EXPECT_EQ(Load("s/a/b/\r", true).search, (Entries{"s/a/b/\r"}));
}

TEST_F(LoadTableTest, EndOfFileMarkEndsTheFile) {
  EXPECT_EQ(Load("a\tb\nc\x1A"
                 "d\ne\tf\n",
                 false)
                .search,
            (Entries{"a", "c"}));
  EXPECT_TRUE(Load("\x1A"
                   "a\tb\n",
                   false)
                  .search.empty());
}

TEST_F(LoadTableTest, PatternLinesAreStoredWholeAndUndecoded) {
  const ConversionTable table = Load("s/\\t/ /g\n\ntr/a-z/A-Z/\n s/a/b/\n", true);
  EXPECT_EQ(table.search, (Entries{"s/\\t/ /g", "", "tr/a-z/A-Z/", " s/a/b/"}));
  EXPECT_TRUE(table.replacements.empty());
}

TEST_F(LoadTableTest, LinesOfAnyLength) {
  const std::string search(3 * 1024 * 1024 + 7, 'a');
  const std::string replacement(200000, 'b');
  const ConversionTable table = Load(search + "\t" + replacement + "\nx\ty\n", false);
  ASSERT_EQ(table.search.size(), 2u);
  EXPECT_EQ(table.search[0], search);
  EXPECT_EQ(table.replacements[0], replacement);
  EXPECT_EQ(table.search[1], "x");
}

TEST_F(LoadTableTest, ReloadingEmptiesTheListsFirstEvenWhenItFails) {
  ConversionTable table = Load("a\tb\nc\td\n", false);
  ASSERT_EQ(table.search.size(), 2u);
  EXPECT_FALSE(LoadConversionTable("", false, table, host_));
  EXPECT_TRUE(table.search.empty());
  EXPECT_TRUE(table.replacements.empty());
  EXPECT_TRUE(host_.calls.empty());
}

TEST_F(LoadTableTest, ModeDecidesHowTheSameFileIsRead) {
  const std::string path = folder_.Write("t.txt", "a\\n\tb\n");
  ConversionTable table;
  ASSERT_TRUE(LoadConversionTable(path, false, table, host_));
  EXPECT_EQ(table.search, (Entries{"a\n"}));
  ASSERT_TRUE(LoadConversionTable(path, true, table, host_));
  EXPECT_EQ(table.search, (Entries{"a\\n\tb"}));
  EXPECT_TRUE(table.replacements.empty());
}

// Files that cannot be opened: the message, an empty table, false.
TEST_F(LoadTableTest, MissingFileShowsTheOpenMessageWithErrno) {
  ConversionTable table;
  table.search = {"stale"};
  table.replacements = {"stale"};
  EXPECT_FALSE(LoadConversionTable((folder_.path() / "missing.txt").string(), false, table, host_));
  EXPECT_EQ(host_.calls, (Entries{OpenMessage(ENOENT)}));
  EXPECT_TRUE(table.search.empty());
  EXPECT_TRUE(table.replacements.empty());
}

TEST_F(LoadTableTest, FolderIsATableThatCannotBeOpened) {
  ConversionTable table;
  EXPECT_FALSE(LoadConversionTable(folder_.path().string(), false, table, host_));
  EXPECT_EQ(host_.calls, (Entries{OpenMessage(EISDIR)}));
}

TEST_F(LoadTableTest, FifoIsATableThatCannotBeOpenedAndDoesNotBlock) {
  const std::string fifo = (folder_.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ConversionTable table;
  EXPECT_FALSE(LoadConversionTable(fifo, true, table, host_));
  EXPECT_EQ(host_.calls, (Entries{OpenMessage(EINVAL)}));
}

TEST_F(LoadTableTest, UnreadableFileShowsAccessDeniedNumber) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string path = folder_.Write("secret.txt", "a\tb\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ConversionTable table;
  EXPECT_FALSE(LoadConversionTable(path, false, table, host_));
  EXPECT_EQ(host_.calls, (Entries{OpenMessage(EACCES)}));
}

// A read failure after the open ends the run as a file error.
TEST_F(LoadTableTest, ReadFailureThrowsFileErrorWithThePath) {
  // Reading /proc/self/mem at offset 0 fails with EIO: a regular file that
  // opens but cannot be read.
  const int probe = ::open("/proc/self/mem", O_RDONLY);
  if (probe < 0) GTEST_SKIP() << "/proc/self/mem cannot be opened here";
  ::close(probe);
  ConversionTable table;
  try {
    (void)LoadConversionTable("/proc/self/mem", false, table, host_);
    FAIL() << "no FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.path(), "/proc/self/mem");
    EXPECT_EQ(error.error_number(), EIO);
    EXPECT_EQ(error.kind(), FileErrorKind::kHardIO);
  }
  EXPECT_TRUE(host_.calls.empty());
}

}  // namespace
}  // namespace ostrevin
