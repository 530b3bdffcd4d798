// Transliteration: list expansion, escapes, the pair table and the run.
#include "regex/transliteration.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrevin::regex {
namespace {

constexpr std::uint32_t kK = 0x4000;
constexpr std::uint32_t kC = 0x40000;
constexpr std::uint32_t kD = 0x80000;
constexpr std::uint32_t kS = 0x100000;

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (const char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

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

// --- Expanding a list: ranges, literal "-", escapes -------------------------

struct ExpandCase {
  const char* name;
  std::string list;
  std::string expected;
};

void PrintTo(const ExpandCase& c, std::ostream* os) { *os << c.name; }

class ExpandTest : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandTest, Expands) {
  const ExpandCase& c = GetParam();
  EXPECT_EQ(Hex(ExpandCharacterList(c.list)), Hex(c.expected)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ExpandTest,
    ::testing::Values(
        ExpandCase{"plain", "abc", "abc"}, ExpandCase{"range", "a-e", "abcde"},
        ExpandCase{"descending range is literal", "z-a", "z-a"},
        ExpandCase{"trailing dash", "a-", "a-"},
        ExpandCase{"leading dash starts at 0x01", "-a", Range(0x01, 'a')},
        ExpandCase{"chained range continues", "a-c-e", "abcde"},
        ExpandCase{"all bytes", "\\x00-\\xff", Range(0x00, 0xFF)},
        // 0x8240 to 0x8340: 256 codes apart, literal
        ExpandCase{"range wider than 255 is literal", "\x82\x40-\x83\x40", "\x82\x40-\x83\x40"},
        // ｱ (0xB1) to ﾝ (0xDD): single-byte katakana
        ExpandCase{"half-width katakana", "\xB1-\xDD", Range(0xB1, 0xDD)},
        // Ａ (0x8260) to Ｃ (0x8262): double-byte range, two bytes per code
        ExpandCase{"double-byte range", "\x82\x60-\x82\x62",
                   Bytes({0x82, 0x60, 0x82, 0x61, 0x82, 0x62})},
        // a (0x61) to Ａ (0x8260): more than 255 apart, literal
        ExpandCase{"single to double is literal", "a-\x82\x60", "a-\x82\x60"},
        // ソ is 0x83 0x5C: its trail byte is no backslash
        ExpandCase{"trail byte 0x5C is no escape", "\x83\x5Cn", "\x83\x5Cn"},
        ExpandCase{"escaped backslash", "\\\\", "\\"},
        ExpandCase{"backslash range end", "Z-\\\\", "Z[\\"},
        ExpandCase{"trailing backslash", "a\\", "a\\"}, ExpandCase{"octal", "\\012", "\n"},
        ExpandCase{"octal stops at three", "\\0777",
                   "\x3F"
                   "7"},
        ExpandCase{"hex one digit", "\\x4", "\x04"},
        ExpandCase{"hex none", "\\xg", Bytes({0x00, 'g'})},
        ExpandCase{"hex letter x is zero", "\\x4x", "\x40"},
        ExpandCase{"control", "\\cA\\ca", "\x01\x01"}, ExpandCase{"control at the end", "\\c", "c"},
        ExpandCase{"named controls", "\\a\\e\\f\\n\\r\\t", "\x07\x1B\x0C\x0A\x0D\x09"},
        ExpandCase{"digit is no octal", "\\1", "1"}, ExpandCase{"escaped dash", "a\\-c", "a-c"},
        ExpandCase{"escaped range end", "a-\\x63", "abc"},
        ExpandCase{"literal escape range end keeps its form", "c-\\x61", "c-\\x61"}),
    [](const auto& info) {
      std::string name;
      for (const char c : std::string(info.param.name)) name += std::isalnum(c) ? c : '_';
      return name;
    });

// --- The pair table -----------------------------------------------------------

TEST(PairTable, PairsInSearchOrderWithTerminator) {
  const auto table = BuildTranslationTable("abc", "x", 0);
  ASSERT_TRUE(table.has_value());
  const std::vector<std::uint16_t> expected = {'a', 'x', 'b', 'x', 'c', 'x', 0xFFFF, 0xFFFF};
  EXPECT_EQ(std::vector<std::uint16_t>(table->Pairs().begin(), table->Pairs().end()), expected);
}

TEST(PairTable, DeleteMarkerAndKeepMarker) {
  const auto deleting = BuildTranslationTable("abc", "x", kD);
  ASSERT_TRUE(deleting.has_value());
  EXPECT_EQ(deleting->Find('b'), std::optional<std::uint16_t>(0xFFFE));
  const auto keeping = BuildTranslationTable("ab", "", 0);
  ASSERT_TRUE(keeping.has_value());
  EXPECT_EQ(keeping->Find('b'), std::optional<std::uint16_t>(0xFFFF));
  EXPECT_EQ(keeping->Find('c'), std::nullopt);
}

TEST(PairTable, FirstPairWins) {
  const auto table = BuildTranslationTable("aa", "xy", 0);
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->Find('a'), std::optional<std::uint16_t>('x'));
  EXPECT_EQ(table->Pairs().size(), 6u);
}

TEST(PairTable, EmptySearchListGivesNoTable) {
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

// --- Running: replace, delete, complement, squeeze, count -------------------

struct RunCase {
  const char* name;
  std::string search;
  std::string replacement;
  std::uint32_t flags;
  std::string text;
  std::string expected;
  std::int32_t count;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTest, Translates) {
  const RunCase& c = GetParam();
  const auto table = BuildTranslationTable(c.search, c.replacement, c.flags);
  ASSERT_TRUE(table.has_value());
  const TranslationOutput out = TranslateText(*table, c.flags, c.text);
  EXPECT_EQ(Hex(out.text), Hex(c.expected)) << c.name;
  EXPECT_EQ(out.count, c.count) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunTest,
    ::testing::Values(RunCase{"upper case", "a-z", "A-Z", 0, "abc!", "ABC!", 3},
                      RunCase{"count only", "a-z", "", 0, "ab1c", "ab1c", 3},
                      RunCase{"delete", "a-z", "", kD, "ab1c", "1", 3},
                      RunCase{"short replacement repeats last", "abc", "x", 0, "cab", "xxx", 3},
                      RunCase{"short replacement with d deletes", "abc", "x", kD, "cab", "x", 3},
                      RunCase{"complement counts", "a-z", "", kC, "ab1-c", "ab1-c", 2},
                      RunCase{"complement never replaces", "a-z", "_", kC, "ab1-c", "ab1-c", 2},
                      RunCase{"complement delete", "a-z", "", kC | kD, "ab1-c", "abc", 2},
                      RunCase{"squeeze", "a-z", "", kS, "aabbc", "abc", 5},
                      RunCase{"squeeze against untranslated", "b", "a", kS, "ab", "a", 1},
                      RunCase{"squeeze translated run", "a-z", "A-Z", kS, "aaxbb", "AXB", 5},
                      RunCase{"complement squeeze", "a-z", "", kC | kS, "a--b", "a-b", 2},
                      // Ａ-Ｚ (0x8260-0x8279) -> A-Z in "k" mode
                      RunCase{"full-width capitals", "\x82\x60-\x82\x79", "A-Z", kK,
                              "\x82\x60\x82\x79x", "AZx", 2},
                      // Without "k" the bytes 0x82 and 0x60 are characters of their own:
                      // あ (0x82 0xA0) loses its lead byte too.
                      RunCase{"byte mode splits characters", "\x82\x60", "A", 0, "\x82\xA0`",
                              "A\xA0"
                              "A",
                              2},
                      // A lead byte that ends the text is a character of its own in "k" mode.
                      RunCase{"lone lead byte at the end", "\x82", "x", kK, "a\x82", "ax", 1},
                      // Half-width katakana are unsigned codes 0xA1-0xDF.
                      RunCase{"half-width katakana", "\xB1-\xB3", "abc", 0, "\xB2\xB3", "bc", 2},
                      // ソ (0x83 0x5C) kept whole in "k" mode, not matched by a backslash
                      RunCase{"trail byte not matched in k mode", "\\\\", "/", kK, "\x83\x5C\\",
                              "\x83\x5C/", 1}),
    [](const auto& info) {
      std::string name;
      for (const char c : std::string(info.param.name)) name += std::isalnum(c) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace ostrevin::regex
