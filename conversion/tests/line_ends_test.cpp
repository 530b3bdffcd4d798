// Line-end normalisation against a plain byte-by-byte reference (the table
// of cases is in text_cases.txt).
#include "conversion/line_ends.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "core/testing/hex.h"

namespace ostrevin {
namespace {

using testing::Hex;

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
    // Now and then a long run of LF bytes, past the counters' 255 blocks.
    const bool lf_run = round % 100 == 99;
    std::string text(lf_run ? 6000 : random() % 40, 'x');
    for (char& c : text) c = lf_run && random() % 512 != 0 ? '\n' : alphabet[random() % 4];
    std::string expected;
    const std::size_t expected_count = Reference(text, expected);
    const std::string input = text;
    EXPECT_EQ(NormalizeLineEnds(text), expected_count) << Hex(input);
    ASSERT_EQ(Hex(text), Hex(expected)) << Hex(input);
  }
}

}  // namespace
}  // namespace ostrevin
