// Transliteration: list expansion, escapes, the pair table and the run.
#include "regex/transliteration.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "regex/tests/engine_test_support.h"

namespace ostrevin::regex {
namespace {

constexpr std::uint32_t kK = 0x4000;
constexpr std::uint32_t kC = 0x40000;
constexpr std::uint32_t kD = 0x80000;
constexpr std::uint32_t kS = 0x100000;

using testing::Hex;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string Range(int first, int last) {
  std::string out;
  for (int v = first; v <= last; ++v) out.push_back(static_cast<char>(v));
  return out;
}

// Expanding a list: ranges, literal "-", escapes.
TEST(ExpandCharacterList, Expands) {
  struct R {
    const char* name;
    std::string list, expected;
  };
  const std::vector<R> rows = {
      R{"plain", "abc", "abc"}, R{"range", "a-e", "abcde"},
      R{"descending range is literal", "z-a", "z-a"}, R{"trailing dash", "a-", "a-"},
      R{"leading dash starts at 0x01", "-a", Range(0x01, 'a')},
      R{"chained range continues", "a-c-e", "abcde"},
      R{"all bytes", "\\x00-\\xff", Range(0x00, 0xFF)},
      // 0x8240 to 0x8340: 256 codes apart, literal
      R{"range wider than 255 is literal", "\x82\x40-\x83\x40", "\x82\x40-\x83\x40"},
      // ｱ (0xB1) to ﾝ (0xDD): single-byte katakana
      R{"half-width katakana", "\xB1-\xDD", Range(0xB1, 0xDD)},
      // Ａ (0x8260) to Ｃ (0x8262): double-byte range, two bytes per code
      R{"double-byte range", "\x82\x60-\x82\x62", Bytes({0x82, 0x60, 0x82, 0x61, 0x82, 0x62})},
      // a (0x61) to Ａ (0x8260): more than 255 apart, literal
      R{"single to double is literal", "a-\x82\x60", "a-\x82\x60"},
      // ソ is 0x83 0x5C: its trail byte is no backslash
      R{"trail byte 0x5C is no escape", "\x83\x5Cn", "\x83\x5Cn"},
      R{"escaped backslash", "\\\\", "\\"}, R{"backslash range end", "Z-\\\\", "Z[\\"},
      R{"trailing backslash", "a\\", "a\\"}, R{"octal", "\\012", "\n"},
      R{"octal stops at three", "\\0777",
        "\x3F"
        "7"},
      R{"hex one digit", "\\x4", "\x04"}, R{"hex none", "\\xg", Bytes({0x00, 'g'})},
      R{"hex letter x is zero", "\\x4x", "\x40"}, R{"control", "\\cA\\ca", "\x01\x01"},
      R{"control at the end", "\\c", "c"},
      R{"named controls", "\\a\\e\\f\\n\\r\\t", "\x07\x1B\x0C\x0A\x0D\x09"},
      R{"digit is no octal", "\\1", "1"}, R{"escaped dash", "a\\-c", "a-c"},
      R{"escaped range end", "a-\\x63", "abc"},
      R{"literal escape range end keeps its form", "c-\\x61", "c-\\x61"}};
  for (const R& c : rows) EXPECT_EQ(Hex(ExpandCharacterList(c.list)), Hex(c.expected)) << c.name;
}

// The pair table: pairs in search order with a terminator, the first pair of a
// code wins, a short replacement list repeats its last code (or, under "d",
// leaves the delete marker 0xFFFE); without one every code maps to the keep
// marker 0xFFFF.
TEST(PairTable, PairsAndMarkers) {
  const auto table = BuildTranslationTable("abca", "xy", 0);
  ASSERT_TRUE(table.has_value());
  const std::vector<std::uint16_t> expected = {'a', 'x', 'b', 'y',    'c',
                                               'y', 'a', 'y', 0xFFFF, 0xFFFF};
  EXPECT_EQ(std::vector<std::uint16_t>(table->Pairs().begin(), table->Pairs().end()), expected);
  EXPECT_EQ(table->Find('a'), std::optional<std::uint16_t>('x'));
  const auto deleting = BuildTranslationTable("abc", "x", kD);
  ASSERT_TRUE(deleting.has_value());
  EXPECT_EQ(deleting->Find('b'), std::optional<std::uint16_t>(0xFFFE));
  const auto keeping = BuildTranslationTable("ab", "", 0);
  ASSERT_TRUE(keeping.has_value());
  EXPECT_EQ(keeping->Find('b'), std::optional<std::uint16_t>(0xFFFF));
  EXPECT_EQ(keeping->Find('c'), std::nullopt);
  EXPECT_FALSE(BuildTranslationTable("", "abc", 0).has_value());
}

TEST(PairTable, ShiftJisModeReadsDoubleByteCodes) {
  // Ａ (0x8260) -> A in "k" mode; without it the two bytes are two entries.
  const auto wide = BuildTranslationTable("\x82\x60", "A", kK);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(wide->Find(0x8260), std::optional<std::uint16_t>('A'));
  const auto narrow = BuildTranslationTable("\x82\x60", "A", 0);
  ASSERT_TRUE(narrow.has_value());
  EXPECT_EQ(narrow->Find(0x82), std::optional<std::uint16_t>('A'));
  EXPECT_EQ(narrow->Find(0x60), std::optional<std::uint16_t>('A'));
}

// Running. Plain replacing, counting, deleting and complementing are compared
// with perl in perl_differential_test; these are this engine's own rules.
TEST(TranslateText, Runs) {
  struct R {
    const char* name;
    std::string search, replacement;
    std::uint32_t flags;
    std::string text, expected;
    std::int32_t count;
  };
  const std::vector<R> rows = {
      R{"short replacement with d deletes", "abc", "x", kD, "cab", "x", 3},
      R{"complement never replaces", "a-z", "_", kC, "ab1-c", "ab1-c", 2},
      R{"squeeze", "a-z", "", kS, "aabbc", "abc", 5},
      R{"squeeze against untranslated", "b", "a", kS, "ab", "a", 1},
      R{"squeeze translated run", "a-z", "A-Z", kS, "aaxbb", "AXB", 5},
      R{"complement squeeze", "a-z", "", kC | kS, "a--b", "a-b", 2},
      // Ａ-Ｚ (0x8260-0x8279) -> A-Z in "k" mode
      R{"full-width capitals", "\x82\x60-\x82\x79", "A-Z", kK, "\x82\x60\x82\x79x", "AZx", 2},
      // Without "k" the bytes 0x82 and 0x60 are characters of their own:
      // あ (0x82 0xA0) loses its lead byte too.
      R{"byte mode splits characters", "\x82\x60", "A", 0, "\x82\xA0`",
        "A\xA0"
        "A",
        2},
      // A lead byte that ends the text is a character of its own in "k" mode.
      R{"lone lead byte at the end", "\x82", "x", kK, "a\x82", "ax", 1},
      // Half-width katakana are unsigned codes 0xA1-0xDF.
      R{"half-width katakana", "\xB1-\xB3", "abc", 0, "\xB2\xB3", "bc", 2},
      // ソ (0x83 0x5C) kept whole in "k" mode, not matched by a backslash
      R{"trail byte not matched in k mode", "\\\\", "/", kK, "\x83\x5C\\", "\x83\x5C/", 1},
  };
  for (const R& c : rows) {
    const auto table = BuildTranslationTable(c.search, c.replacement, c.flags);
    ASSERT_TRUE(table.has_value()) << c.name;
    const TranslationOutput out = TranslateText(*table, c.flags, c.text);
    EXPECT_EQ(Hex(out.text), Hex(c.expected)) << c.name;
    EXPECT_EQ(out.count, c.count) << c.name;
  }
}

}  // namespace
}  // namespace ostrevin::regex
