// `ostrevin-cli apply`: runs the built binary over each line of
// apply_cases.txt and checks its exit status, standard error and output.
#include <gtest/gtest.h>

#include <string>

#include "core/testing/case_file.h"
#include "core/testing/run_command.h"
#include "core/testing/scratch_folder.h"

namespace {

using ostrevin::testing::Case;

TEST(ApplyCli, Cases) {
  const ostrevin::testing::ScratchFolder folder;
  for (const Case& c : ostrevin::testing::ReadCases(OSTREVIN_TEST_DIR "/apply_cases.txt")) {
    const ostrevin::testing::CaseTrace trace(c);
    if (!c.Has(6)) continue;
    // "@input" names the input written as a file; standard input is then empty.
    std::string args = c.Bytes(1);
    const std::string input = folder.Write("input", c.Bytes(2));
    const std::size_t at = args.find("@input");
    if (at != std::string::npos) args.replace(at, 6, input);
    const auto run = ostrevin::testing::RunCommand(
        "LC_ALL=" + c[0] + " " + ostrevin::testing::ShellQuote(OSTREVIN_CLI) + " apply " + args,
        at != std::string::npos ? "/dev/null" : input);
    EXPECT_EQ(run.status, c.Number(3));
    EXPECT_EQ(run.err, c.Bytes(4));
    EXPECT_EQ(run.out, c.Bytes(5));
  }
}

}  // namespace
