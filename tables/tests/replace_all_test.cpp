// ReplaceAll against a slow reference walk on random texts, and former faults
// (the rows per case are in table_cases.txt).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/shift_jis.h"
#include "core/testing/hex.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

using testing::Hex;

// The walk of the definition, one position at a time: the oracle.
std::size_t ReferenceReplaceAll(std::string& text, const std::string& search,
                                const std::string& replacement) {
  if (search.empty()) return 0;
  std::string out;
  std::size_t count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + search.size() <= text.size() && text.compare(i, search.size(), search) == 0) {
      out += replacement;
      i += search.size();
      ++count;
      continue;
    }
    const std::size_t len = sjis::CharLength(text.data(), i, text.size());
    out.append(text, i, len);
    i += len;
  }
  if (count > 0) text = out;
  return count;
}

TEST(ReplaceAllOracle, AgreesWithTheReferenceWalkOnRandomShiftJis) {
  // Few distinct bytes, so that trail-byte lookalikes and overlaps are common.
  const char kAlphabet[] = {'\\', 'A', '\x95', '\x82', '\xA0', 'a'};
  std::mt19937 random(12345);
  auto pick = [&](std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += kAlphabet[random() % sizeof kAlphabet];
    return s;
  };
  // Short texts, texts longer than the byte search's blocks, and long
  // periodic ones with a search string that almost fits everywhere, placed
  // whole in the second half: the search falls back to its worst-case-linear
  // method part way through and must still find those.
  auto periodic = [&](std::string& text, std::string& search) {
    const std::string unit = pick(1 + random() % 3);
    while (text.size() < 600) text += unit;
    search = text.substr(random() % 8, 3 + random() % 4);
    search[1 + random() % (search.size() - 2)] = kAlphabet[random() % sizeof kAlphabet];
    for (int k = 0; k < 3; ++k) text.insert(300 + random() % 300, search);
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string search;
    if (round % 4 == 3) {
      periodic(text, search);
    } else {
      text = pick(random() % (round % 4 == 2 ? 120 : 24));
      search = pick(1 + random() % 4);
    }
    const std::string replacement = pick(random() % 6);
    std::string expected = text;
    const std::size_t expected_count = ReferenceReplaceAll(expected, search, replacement);
    std::string actual = text;
    ASSERT_EQ(ReplaceAll(actual, search, replacement), expected_count)
        << "text " << Hex(text) << " search " << Hex(search);
    ASSERT_EQ(Hex(actual), Hex(expected))
        << "text " << Hex(text) << " search " << Hex(search) << " replacement " << Hex(replacement);
  }
}

// Former faults that a naive implementation gets wrong.
TEST(ReplaceAllFormerFaults, LongTextWithManyShortMatchesKeepsItsTail) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "\x95\x5C\\";  // 表 then a backslash
  text += "end";
  EXPECT_EQ(ReplaceAll(text, "\\", "\\\\"), 100000u);
  ASSERT_EQ(text.size(), 100000u * 4 + 3);
  EXPECT_EQ(text.substr(0, 4), "\x95\x5C\\\\");
  EXPECT_EQ(text.substr(text.size() - 3), "end");
}

TEST(ReplaceAllFormerFaults, NothingFoundLeavesTheBufferUntouched) {
  std::string text = "abcdef";
  text.reserve(100);
  const char* before = text.data();
  EXPECT_EQ(ReplaceAll(text, "zz", "longer replacement"), 0u);
  EXPECT_EQ(text.data(), before);
  EXPECT_EQ(text, "abcdef");
}

}  // namespace
}  // namespace ostrevin
