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

  // Runs `ostrevin-cli apply ARGS` with `input` on standard input.
  CliRun Apply(const std::vector<std::string>& args, const std::string& input) {
    const auto in = Write("stdin", input);
    std::string command = ShellQuote(OSTREVIN_CLI) + " apply";
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    return ostrevin::testing::RunCommand(command, in.string());
  }

  std::filesystem::path dir_;
};

// --- Output and status per command kind -----------------------------------------

struct ApplyCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  int status;
  std::string out;
  std::string err;
};

void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }

class ApplyCases : public ApplyCli, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyCases, Runs) {
  const ApplyCase& c = GetParam();
  const CliRun run = Apply(c.args, c.input);
  EXPECT_EQ(run.status, c.status) << c.name;
  EXPECT_EQ(run.out, c.out) << c.name;
  EXPECT_EQ(run.err, c.err) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ApplyCases,
    ::testing::Values(
        ApplyCase{"substitution", {"s/a/b/g"}, "aXa", 0, "bXb", ""},
        ApplyCase{"substitution no match", {"s/x/y/"}, "abc", 1, "abc", ""},
        ApplyCase{"substitution to empty", {"s/a//"}, "a", 0, "", ""},
        ApplyCase{"line ends untouched", {"s/x/y/g"}, "a\r\nx\r\nx\n", 0, "a\r\ny\r\ny\n", ""},
        ApplyCase{"transliteration", {"tr/a-z/A-Z/"}, "abc!", 0, "ABC!", ""},
        ApplyCase{"transliteration no match", {"tr/x/y/"}, "abc", 1, "abc", ""},
        ApplyCase{"match", {"m/b/"}, "abc", 0, "", ""},
        ApplyCase{"match none", {"/x/"}, "abc", 1, "", ""},
        ApplyCase{"groups", {"--groups", "m/(a)|(b)/"}, "xb", 0, "0 1 2\n1 -\n2 1 2\n", ""},
        ApplyCase{"groups without match", {"--groups", "m/(a)/"}, "xb", 1, "0 -\n1 -\n", ""},
        ApplyCase{"groups ignored for s", {"--groups", "s/(a)/b/"}, "a", 0, "b", ""},
        ApplyCase{"count s", {"--count", "s/a/b/g"}, "aaa", 0, "bbb", "count 3\n"},
        ApplyCase{"count m", {"--count", "m/a/"}, "aaa", 0, "", "count 1\n"},
        ApplyCase{"count none", {"--count", "m/x/"}, "aaa", 1, "", "count 0\n"},
        ApplyCase{"count tr", {"--count", "tr/a//"}, "aba", 0, "aba", "count 2\n"},
        ApplyCase{"groups and count",
                  {"--groups", "--count", "m/(b+)/"},
                  "abbc",
                  0,
                  "0 1 3\n1 1 3\n",
                  "count 1\n"},
        // Engine failures: the message, nothing on standard output, status 2.
        ApplyCase{"compile failure", {"m/(a/"}, "abc", 2, "", "unmatched () in regexp\n"},
        ApplyCase{"bad command", {"x/a/"}, "abc", 2, "", "do not start 'm' or 's' or 'tr'\n"},
        ApplyCase{
            "no count after failure", {"--count", "s/a/b"}, "abc", 2, "", "unmatch separater\n"},
        ApplyCase{"empty text", {"s/a/b/"}, "", 2, "", "invalid target parameter\n"},
        ApplyCase{"empty text tr", {"tr/a/b/"}, "", 2, "", "invalid target parameter\n"},
        ApplyCase{"empty pattern", {"m//"}, "abc", 2, "", ""},
        ApplyCase{"empty search list", {"tr//x/"}, "abc", 2, "", ""}),
    [](const auto& info) {
      std::string name;
      for (const char c : std::string(info.param.name)) name += std::isalnum(c) ? c : '_';
      return name;
    });

// --- Input handling -----------------------------------------------------------------

TEST_F(ApplyCli, ReadsFileArgument) {
  const auto file = Write("input.txt", "one two");
  const CliRun run = Apply({"s/two/2/", file.string()}, "ignored");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "one 2");
}

TEST_F(ApplyCli, UnreadableFileIsAFailure) {
  const CliRun run = Apply({"s/a/b/", (dir_ / "missing.txt").string()}, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("missing.txt"), std::string::npos) << run.err;
}

TEST_F(ApplyCli, DirectoryIsAFailure) {
  const CliRun run = Apply({"s/a/b/", dir_.string()}, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(run.err.empty());
}

TEST_F(ApplyCli, NulByteInInputIsAFailure) {
  const CliRun run = Apply({"s/a/b/"}, std::string("a\0b", 3));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("NUL"), std::string::npos) << run.err;
}

TEST_F(ApplyCli, ShiftJisBytesPassThrough) {
  // "ソ" (0x83 0x5C) then "a": the trail byte is no backslash.
  const CliRun run = Apply({"s/a/b/k"},
                           "\x83\x5C"
                           "a\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "\x83\x5C"
            "b\n");
}

TEST_F(ApplyCli, MissingCommandIsAUsageError) {
  const CliRun run = Apply({}, "abc");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
}

}  // namespace
