// `ostrevin-cli apply`: runs the built binary and checks its standard output,
// standard error and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/testing/case_file.h"
#include "core/testing/run_command.h"

namespace {

using CliRun = ostrevin::testing::CommandRun;
using ostrevin::testing::Case;
using ostrevin::testing::ShellQuote;

class ApplyCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ostrevin_apply_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path Write(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Runs `ostrevin-cli apply ARGS` with `input` on standard input, in the
  // locale `locale`.
  CliRun Apply(const std::vector<std::string>& args, const std::string& input,
               const std::string& locale = "C") {
    const auto in = Write("stdin", input);
    std::string command = "LC_ALL=" + locale + " " + ShellQuote(OSTREVIN_CLI) + " apply";
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    return ostrevin::testing::RunCommand(command, in.string());
  }

  std::filesystem::path dir_;
};

// Output and status per command kind, and commands in the terminal's
// encoding.
TEST_F(ApplyCli, Cases) {
  for (const Case& c : ostrevin::testing::ReadCases(OSTREVIN_TEST_DIR "/apply_cases.txt")) {
    const ostrevin::testing::CaseTrace trace(c);
    if (!c.Has(6)) continue;
    const CliRun run = ostrevin::testing::RunCommand(
        "LC_ALL=" + c[0] + " " + ShellQuote(OSTREVIN_CLI) + " apply " + c.Bytes(1),
        Write("stdin", c.Bytes(2)).string());
    EXPECT_EQ(run.status, c.Number(3));
    EXPECT_EQ(run.err, c.Bytes(4));
    EXPECT_EQ(run.out, c.Bytes(5));
  }
}

// --- Input handling -----------------------------------------------------------------

TEST_F(ApplyCli, ReadsFileArgument) {
  const auto file = Write("input.txt", "one two");
  const CliRun run = Apply({"s/two/2/", file.string()}, "ignored");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "one 2");
}

// A missing file, a folder, a NUL byte in the input or a missing command end
// with status 2 and nothing on standard output.
TEST_F(ApplyCli, FailuresGiveStatusTwo) {
  struct Row {
    std::vector<std::string> args;
    std::string input;
    std::string in_err;  // a part of the message
  };
  const std::vector<Row> rows = {
      {{"s/a/b/", (dir_ / "missing.txt").string()}, "", "missing.txt"},
      {{"s/a/b/", dir_.string()}, "", ""},
      {{"s/a/b/"}, std::string("a\0b", 3), "NUL"},
      {{}, "abc", ""},
  };
  for (const Row& r : rows) {
    const CliRun run = Apply(r.args, r.input);
    SCOPED_TRACE(r.args.empty() ? "no command" : r.args.back());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.err.empty());
    EXPECT_NE(run.err.find(r.in_err), std::string::npos) << run.err;
  }
}

}  // namespace
