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
#include "tables/tests/table_entries.h"

namespace ostrevin {
namespace {

using testing::AllEntries;
using testing::Entries;

std::string OpenMessage(int error_number) {
  return "message[エラー/exclamation] 変換テーブルファイルをオープンできません。(Error:" +
         std::to_string(error_number) + ")\n変換テーブルを通さずに処理を続行します。";
}

class LoadTableTest : public ::testing::Test {
 protected:
  // Loads `bytes` as a table file and expects no message.
  Entries Load(std::string_view bytes, bool pattern_mode) {
    const std::string path = folder_.Write("table.txt", bytes);
    ConversionTable table;
    EXPECT_TRUE(LoadConversionTable(path, pattern_mode, table, host_));
    EXPECT_TRUE(host_.calls.empty());
    return AllEntries(table);
  }

  testing::ScratchFolder folder_;
  testing::RecordingHost host_;
};

constexpr bool kSimple = false;
constexpr bool kPattern = true;

// Lines of every kind are in table_cases.txt; these are too long for it.
// The end-of-file mark in the first block read ends the reading.
TEST_F(LoadTableTest, EndMarkEndsALongFile) {
  EXPECT_EQ(Load("a\tb\n\032" + std::string(70000, 'x') + "\nc\n", kSimple), (Entries{{"a", "b"}}));
}

TEST_F(LoadTableTest, LinesOfAnyLength) {
  const std::string search(3 * 1024 * 1024 + 7, 'a');
  const std::string replacement(200000, 'b');
  EXPECT_EQ(Load(search + "\t" + replacement + "\nx\ty\n", kSimple),
            (Entries{{search, replacement}, {"x", "y"}}));
}

// A failed load leaves an empty table: silently for an empty path, with the
// open message (and the system's error number) otherwise, or with the NUL
// message for a file holding a NUL byte (which would cut its entry short).
TEST_F(LoadTableTest, FailedLoadEmptiesTheTable) {
  const std::string fifo = (folder_.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string secret = folder_.Write("secret.txt", "a\tb\n");
  ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
  const std::string nul_message =
      "message[エラー/exclamation] 変換テーブルにNULバイトが含まれています。\n"
      "変換テーブルを通さずに処理を続行します。";
  struct Case {
    std::string path;
    std::string message;  // empty: none
  };
  std::vector<Case> cases = {
      {"", ""},
      {(folder_.path() / "missing.txt").string(), OpenMessage(ENOENT)},
      {folder_.path().string(), OpenMessage(EISDIR)},
      {fifo, OpenMessage(EINVAL)},  // and the open does not wait for a writer
      {folder_.Write("nul.txt", std::string("hel\0lo\tX\n", 9)), nul_message},
      {folder_.Write("nul-last.txt", std::string("s/a/b/\ns/c/d/\0", 14)), nul_message},
  };
  if (::geteuid() != 0) cases.push_back({secret, OpenMessage(EACCES)});  // root reads every file
  const std::string table_file = folder_.Write("table.txt", "a\tb\nc\td\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host_.calls.clear();
    ConversionTable table;
    ASSERT_TRUE(LoadConversionTable(table_file, kSimple, table, host_));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_FALSE(LoadConversionTable(c.path, kPattern, table, host_));
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(host_.calls,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
  }
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
    (void)LoadConversionTable("/proc/self/mem", kSimple, table, host_);
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
