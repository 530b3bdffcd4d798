// Runs every line of commands.cases through the engine's entry points and
// compares the count, the groups, the result text or the message.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/testing/case_file.h"
#include "core/testing/hex.h"
#include "regex/pattern_engine.h"

namespace ostrevin::regex {
namespace {

using ostrevin::testing::Case;
using ostrevin::testing::Hex;

// The groups of the last match in the case file's notation, as many as
// `expected` lists (at least group 0), with "?" where it has one.
std::string Groups(const PatternSlot& slot, const std::string& expected) {
  std::istringstream wanted(expected);
  std::vector<std::string> tokens{std::istream_iterator<std::string>(wanted), {}};
  if (tokens.empty()) tokens.emplace_back();
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const auto span = slot.Group(static_cast<int>(i));
    if (i > 0) out += ' ';
    out += tokens[i] == "?" ? "?"
           : span           ? std::to_string(span->begin) + "," + std::to_string(span->end)
                            : "-";
  }
  return out;
}

TEST(CommandCases, EachCommandGivesItsResult) {
  for (const Case& c : ostrevin::testing::ReadCases(OSTREVIN_TEST_DIR "/commands.cases")) {
    const ostrevin::testing::CaseTrace trace(c);
    if (!c.Has(4)) continue;
    const std::string command = c.Bytes(0);
    const std::string expected = c.Bytes(3);
    PatternSlot slot;
    const PatternResult result = slot.Run(command, c.Bytes(1));
    EXPECT_EQ(result.count, c.Number(2)) << result.message;
    if (result.count != c.Number(2)) continue;
    if (result.count <= 0) {
      EXPECT_EQ(result.message, expected);
      continue;
    }
    EXPECT_EQ(result.message, "");
    if (command.starts_with('m') || command.starts_with('/')) {
      EXPECT_EQ(Groups(slot, expected), expected);
    } else {
      EXPECT_EQ(Hex(result.text), Hex(expected));
    }
  }
}

}  // namespace
}  // namespace ostrevin::regex
