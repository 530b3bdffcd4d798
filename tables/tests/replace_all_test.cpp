// Tests for ReplaceAll: Shift-JIS stepping, non-overlap, no rescanning, and a
// comparison with a slow reference walk on random texts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/shift_jis.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

TEST(ReplaceAll, ReplacesAsTheWalkDefines) {
  struct Case {
    const char* name;
    std::string text;
    std::string search;
    std::string replacement;
    std::string expected;
    std::size_t count;
  };
  const std::vector<Case> cases = {
      // Plain bytes: non-overlap, length changes, edges.
      {"aa_in_aaaa_twice", "aaaa", "aa", "b", "bb", 2},
      {"aa_in_aaa_once", "aaa", "aa", "b", "ba", 1},
      {"delete", "xaxbx", "x", "", "ab", 3},
      {"grow", "a-b-c", "-", "<=>", "a<=>b<=>c", 2},
      {"empty_search", "abc", "", "x", "abc", 0},
      {"search_longer_than_text", "ab", "abc", "x", "ab", 0},
      {"inserted_text_not_searched", "aa", "a", "aa", "aaaa", 2},
      {"kmp_border", "aabaabaaab", "aaab", "X", "aabaabX", 1},
      // Shift-JIS: a trail byte that looks like the search never starts a
      // match. 表 = 95 5C (trail byte a backslash), あ = 82 A0, い = 82 A2.
      // The random comparison below covers the other byte classes.
      {"backslash_not_in_hyou", "\x95\x5C", "\\", "/", "\x95\x5C", 0},
      {"lone_backslash_replaced", "\x95\x5C\\", "\\", "/", "\x95\x5C/", 1},
      {"across_characters", "\x82\xA0\x82\xA2", "\xA0\x82", "x", "\x82\xA0\x82\xA2", 0},
      // A lead byte as the last byte is a character of its own.
      {"trailing_lead_byte", "a\x82", "\x82", "x", "ax", 1},
      // First candidate is a trail byte, the next one a real character.
      {"trail_then_real", "\x95\x5C\x41\x5C\x41", "\x5C\x41", "!", "\x95\x5C\x41!", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.text;
    EXPECT_EQ(ReplaceAll(text, c.search, c.replacement), c.count);
    EXPECT_EQ(Hex(text), Hex(c.expected));
  }
}

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
