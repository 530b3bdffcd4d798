// Line-end normalisation: the output bytes and the count of line ends that
// were not CR LF, checked against a plain reference as well.
#include "conversion/line_ends.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/testing/hex.h"

namespace ostrevin {
namespace {

using testing::Hex;

struct LineEndCase {
  std::string input;
  std::string expected;
  std::size_t count;
};

// --- The table of the design ----------------------------------------------------
TEST(NormalizeLineEndsTest, Table) {
  const std::vector<LineEndCase> cases = {
      {"", "", 0},
      {"abc", "abc", 0},
      {"a\r\nb", "a\nb", 0},
      {"a\nb", "a\nb", 1},
      {"a\rb", "a\nb", 1},
      {"a\r", "a\n", 1},
      {"a\r\r\nb", "a\n\nb", 1},
      {"a\n\rb", "a\n\nb", 2},
      {"\r\n\r\n", "\n\n", 0},
      {"a\r\r\rb", "a\n\n\nb", 3},
      // Beyond the table: a run at both edges, and bytes that look like neither.
      {"\r\r", "\n\n", 2},
      {"\x82\xa0\r\n\x1a\r\n", "\x82\xa0\n\x1a\n", 0},  // あ, then a 0x1A byte kept
  };
  for (const auto& c : cases) {
    std::string text = c.input;
    EXPECT_EQ(NormalizeLineEnds(text), c.count) << Hex(c.input);
    EXPECT_EQ(Hex(text), Hex(c.expected)) << Hex(c.input);
  }
}

// --- Against a byte-by-byte reference over random texts -------------------------
// The reference follows the algorithm as written: one pass with a pending-CR
// flag, into a separate output.
std::size_t Reference(const std::string& in, std::string& out) {
  std::size_t count = 0;
  bool pending = false;
  out.clear();
  for (const char b : in) {
    if (b == '\r') {
      if (pending) {
        out += '\n';
        ++count;
      }
      pending = true;
    } else if (b == '\n') {
      out += '\n';
      if (pending) {
        pending = false;
      } else {
        ++count;
      }
    } else {
      if (pending) {
        out += '\n';
        ++count;
        pending = false;
      }
      out += b;
    }
  }
  if (pending) {
    out += '\n';
    ++count;
  }
  return count;
}

TEST(NormalizeLineEndsTest, MatchesReferenceOnRandomTexts) {
  std::mt19937 random(12345);
  const char alphabet[] = {'\r', '\n', 'a', '\x82'};
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 40, 'x');
    for (char& c : text) c = alphabet[random() % 4];
    std::string expected;
    const std::size_t expected_count = Reference(text, expected);
    const std::string input = text;
    EXPECT_EQ(NormalizeLineEnds(text), expected_count) << Hex(input);
    ASSERT_EQ(Hex(text), Hex(expected)) << Hex(input);
  }
}

}  // namespace
}  // namespace ostrevin
