// `ostrevin-cli apply`: runs the built binary and checks its standard output,
// standard error and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/testing/run_command.h"

namespace {

using CliRun = ostrevin::testing::CommandRun;
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

// --- Output and status per command kind -----------------------------------------

TEST_F(ApplyCli, Commands) {
  struct R {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out, err;
  };
  const std::vector<R> rows = {
      R{"substitution", {"s/a/b/g"}, "aXa", 0, "bXb", ""},
      R{"substitution no match", {"s/x/y/"}, "abc", 1, "abc", ""},
      R{"line ends untouched", {"s/x/y/g"}, "a\r\nx\r\nx\n", 0, "a\r\ny\r\ny\n", ""},
      // ソ (0x83 0x5C) then "a": the trail byte is no backslash.
      R{"Shift-JIS bytes pass through",
        {"s/a/b/k"},
        "\x83\x5C"
        "a\n",
        0,
        "\x83\x5C"
        "b\n",
        ""},
      R{"transliteration", {"tr/a-z/A-Z/"}, "abc!", 0, "ABC!", ""},
      R{"transliteration no match", {"tr/x/y/"}, "abc", 1, "abc", ""},
      R{"match", {"m/b/"}, "abc", 0, "", ""}, R{"match none", {"/x/"}, "abc", 1, "", ""},
      R{"groups", {"--groups", "m/(a)|(b)/"}, "xb", 0, "0 1 2\n1 -\n2 1 2\n", ""},
      R{"groups without match", {"--groups", "m/(a)/"}, "xb", 1, "0 -\n1 -\n", ""},
      R{"groups ignored for s", {"--groups", "s/(a)/b/"}, "a", 0, "b", ""},
      R{"count s", {"--count", "s/a/b/g"}, "aaa", 0, "bbb", "count 3\n"},
      R{"count m", {"--count", "m/a/"}, "aaa", 0, "", "count 1\n"},
      R{"count none", {"--count", "m/x/"}, "aaa", 1, "", "count 0\n"},
      R{"count tr", {"--count", "tr/a//"}, "aba", 0, "aba", "count 2\n"},
      R{"groups and count",
        {"--groups", "--count", "m/(b+)/"},
        "abbc",
        0,
        "0 1 3\n1 1 3\n",
        "count 1\n"},
      // Engine failures: the message, nothing on standard output, status 2.
      R{"compile failure", {"m/(a/"}, "abc", 2, "", "unmatched () in regexp\n"},
      R{"no count after failure", {"--count", "s/a/b"}, "abc", 2, "", "unmatch separater\n"},
      R{"empty text", {"s/a/b/"}, "", 2, "", "invalid target parameter\n"},
      R{"empty pattern", {"m//"}, "abc", 2, "", ""},
      R{"empty search list", {"tr//x/"}, "abc", 2, "", ""}};
  for (const R& c : rows) {
    const CliRun run = Apply(c.args, c.input);
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.out, c.out) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
  }
}

// --- The command in the terminal's encoding ------------------------------------------

// In a UTF-8 locale a command typed as UTF-8 reaches the engine as Shift-JIS;
// offsets stay byte offsets in the Shift-JIS text.
TEST_F(ApplyCli, CommandInTheTerminalsEncoding) {
  struct R {
    const char* name;
    const char* locale;
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  // あいう in Shift-JIS: 0x82A0 0x82A2 0x82A4.
  const std::string text = "\x82\xa0\x82\xa2\x82\xa4";
  const std::vector<R> rows = {
      R{"UTF-8 command", "C.UTF-8", {"s/い/I/gk"}, 0, "\x82\xa0I\x82\xa4", ""},
      R{"byte offsets", "C.UTF-8", {"--groups", "m/(い)/k"}, 0, "0 2 4\n1 2 4\n", ""},
      R{"Shift-JIS command kept", "C.UTF-8", {"s/\x82\xa2/I/gk"}, 0, "\x82\xa0I\x82\xa4", ""},
      R{"--raw-command", "C.UTF-8", {"--raw-command", "s/い/I/gk"}, 2, "", "unmatch separater\n"},
      R{"not a UTF-8 locale", "C", {"s/い/I/gk"}, 2, "", "unmatch separater\n"},
      R{"no Shift-JIS for it",
        "C.UTF-8",
        {"s/😀/I/g"},
        2,
        "",
        "apply: the command holds a character that Shift-JIS cannot hold (--raw-command passes "
        "its bytes unchanged)\n"},
  };
  for (const R& c : rows) {
    const CliRun run = Apply(c.args, text, c.locale);
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.out, c.out) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
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
