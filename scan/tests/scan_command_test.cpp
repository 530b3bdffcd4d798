// Tests for `ostrevin-cli scan`: the report on standard output, its order,
// the two renderings, and the exit statuses.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/testing/run_command.h"
#include "core/testing/scratch_folder.h"

namespace ostrevin {
namespace {

using RunResult = testing::CommandRun;

// Runs ostrevin-cli with `arguments` (already shell-quoted) in `folder`;
// standard output is a file, so the default rendering is --raw.
RunResult RunCli(const testing::ScratchFolder& folder, const std::string& arguments) {
  return testing::RunCommand("cd " + testing::ShellQuote(folder.path().string()) + " && '" +
                             OSTREVIN_CLI "' " + arguments);
}

const char kEnd[] = "*** スキャン終了 ***\r\n";

class ScanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(folder_.path() / "dir");
    folder_.Write("dir/b.txt", "x\xB1\r\n");         // ｱ
    folder_.Write("dir/A.txt", "\x87\x40\x85\x40");  // ① and the unmapped 0x8540
    folder_.Write("dir/c.txt", "nothing here\r\n");
  }
  testing::ScratchFolder folder_;
};

// Order and rendering.
TEST_F(ScanCommandTest, WalksFoldersInListOrderWithRawBytesByDefault) {
  const RunResult result = RunCli(folder_, "scan dir");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, std::string("[dir/A.txt]\r\n\x87\x40\x85\x40\r\n\r\n") +
                            "[dir/b.txt]\r\n\xB1\r\n\r\n" + kEnd);
  EXPECT_EQ(result.err, "");
}

TEST_F(ScanCommandTest, Utf8DecodesFoundCharactersAndShowsUnmappableCodes) {
  const RunResult result = RunCli(folder_, "scan --utf8 dir/b.txt dir/A.txt");
  EXPECT_EQ(result.status, 0);
  // ① U+2460, ｱ U+FF71
  EXPECT_EQ(result.out, std::string("[dir/A.txt]\r\n\xE2\x91\xA0<8540>\r\n\r\n") +
                            "[dir/b.txt]\r\n\xEF\xBD\xB1\r\n\r\n" + kEnd);
}

// Exit statuses; the category switches leave out every found character here.
TEST_F(ScanCommandTest, UnreadableEntryGivesStatusOne) {
  ASSERT_EQ(::mkfifo((folder_.path() / "dir" / "fifo").c_str(), 0600), 0);
  const RunResult result = RunCli(folder_, "scan --no-kana --no-special dir");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, std::string("[dir/fifo]\r\nファイルをオープンできません\r\n\r\n") + kEnd);
}

TEST_F(ScanCommandTest, MissingPathIsReportedAndTheRestIsScanned) {
  const RunResult result = RunCli(folder_, "scan missing.txt dir/b.txt");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "missing.txt が見つかりませんでした。\n");
  EXPECT_EQ(result.out, std::string("[dir/b.txt]\r\n\xB1\r\n\r\n") + kEnd);
}

TEST_F(ScanCommandTest, EmptyListGivesItsMessageAndStatusTwo) {
  std::filesystem::create_directory(folder_.path() / "empty");
  const RunResult result = RunCli(folder_, "scan empty");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "スキャン対象ファイルがリストにありません\n");
  EXPECT_EQ(result.out, "");
}

TEST_F(ScanCommandTest, UsageErrorsGiveStatusTwoAndHelpZero) {
  for (const char* args : {"scan", "scan --raw --utf8 dir", "scan --unknown dir"})
    EXPECT_EQ(RunCli(folder_, args).status, 2) << args;
  const RunResult help = RunCli(folder_, "scan --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--no-extended"), std::string::npos);
}

}  // namespace
}  // namespace ostrevin
