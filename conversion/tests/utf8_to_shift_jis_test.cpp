// UTF-8 to code page 932: every code point against the C library's iconv, the
// characters whose JIS and Microsoft forms differ, the malformed-input policy
// of the header, and the messages of what cannot be converted.
#include "conversion/utf8_to_shift_jis.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/tests/conversion_cases.h"
#include "conversion/utf8_sequence.h"
#include "core/testing/hex.h"
#include "core/testing/iconv.h"

namespace ostrevin {
namespace {

using testing::Hex;
using testing::Invalid;
using testing::Unmappable;

std::string Utf8(char32_t c) { return utf8::Encode(c); }

// --- Oracle: iconv CP932 over every code point --------------------------------
// The code points iconv maps, all in one text (so the decoder also has to keep
// its place across characters of every length), and each that it refuses on
// its own, which must be refused as that character.
TEST(Utf8ToShiftJisOracleTest, EveryCodePointAsIconvMapsIt) {
  testing::Iconv to_cp932("UTF-8", "CP932");
  std::string mapped;
  std::vector<char32_t> refused;
  std::string code;
  for (char32_t c = 1; c <= 0x10FFFF; c = c == 0xFFFF ? 0x10000 : c + 1) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c > 0xFFFF && c % 0x3F1 != 0) continue;  // beyond the BMP: a sample
    if (to_cp932.Convert(Utf8(c), code)) {
      mapped += Utf8(c);
    } else {
      refused.push_back(c);
    }
  }
  std::string expected;
  ASSERT_TRUE(to_cp932.Convert(mapped, expected));
  ASSERT_GT(expected.size(), 15000u);  // some 9400 characters, most of two bytes
  std::string text = mapped;
  const CodeConversion result = Utf8ToShiftJis(text);
  ASSERT_FALSE(result.problem);
  EXPECT_TRUE(text == expected)
      << "first difference at byte "
      << std::mismatch(text.begin(), text.end(), expected.begin(), expected.end()).first -
             text.begin();

  ASSERT_GT(refused.size(), 50000u);
  for (const char32_t c : refused) {
    if (c == 0xFEFF) continue;  // alone at the start, it is the BOM
    std::string one = Utf8(c);
    const CodeConversion r = Utf8ToShiftJis(one);
    ASSERT_TRUE(r.problem) << std::hex << unsigned(c);
    EXPECT_EQ(r.problem->kind, ProblemKind::kUnmappable) << std::hex << unsigned(c);
    EXPECT_EQ(r.problem->code_point, c);
    EXPECT_EQ(one, Utf8(c));
  }
}

// The characters that the JIS and the Microsoft mappings give to different
// code points: both forms get the code page 932 code.
TEST(Utf8ToShiftJisTest, JisAndMicrosoftFormsShareOneCode) {
  const std::pair<char32_t, const char*> rows[] = {
      {0x301C, "\x81\x60"},  // 〜 WAVE DASH
      {0xFF5E, "\x81\x60"},  // ～ FULLWIDTH TILDE
      {0x2016, "\x81\x61"},  // ‖ DOUBLE VERTICAL LINE
      {0x2225, "\x81\x61"},  // ∥ PARALLEL TO
      {0x2212, "\x81\x7C"},  // − MINUS SIGN
      {0xFF0D, "\x81\x7C"},  // － FULLWIDTH HYPHEN-MINUS
      {0x00A2, "\x81\x91"},  // ¢
      {0xFFE0, "\x81\x91"},  // ￠
      {0x00A3, "\x81\x92"},  // £
      {0xFFE1, "\x81\x92"},  // ￡
      {0x00AC, "\x81\xCA"},  // ¬
      {0xFFE2, "\x81\xCA"},  // ￢
      {0x2014, "\x81\x5C"},  // — EM DASH
      {0x2015, "\x81\x5C"},  // ― HORIZONTAL BAR
  };
  for (const auto& [c, sjis] : rows) {
    std::string text = Utf8(c);
    EXPECT_FALSE(Utf8ToShiftJis(text).problem) << std::hex << unsigned(c);
    EXPECT_EQ(Hex(text), Hex(sjis)) << std::hex << unsigned(c);
  }
}

// --- Converted texts and the malformed-input policy ------------------------------
TEST(Utf8ToShiftJisTest, ConvertsRefusesAndSubstitutes) {
  const std::string& mark = testing::kMark;
  testing::ExpectConversions(
      Utf8ToShiftJis,
      {
          // Valid text, BOM dropped.
          {"ascii and CR LF", "ab\r\n", "ab\r\n", 0, {}},
          {"kanji, kana", "\xE6\xBC\xA2\xE3\x81\x82", "\x8A\xBF\x82\xA0", 0, {}},  // 漢あ
          {"half-width katakana", "\xEF\xBD\xB1", "\xB1", 0, {}},                  // ｱ
          {"NEC special", "\xE2\x91\xA0", "\x87\x40", 0, {}},                      // ①
          {"IBM extension", "\xE9\x84\xA7", "\xFB\xB9", 0, {}},                    // 鄧
          {"BOM dropped",
           "\xEF\xBB\xBF"
           "a",
           "a",
           0,
           {}},
          {"BOM only", "\xEF\xBB\xBF", "", 0, {}},
          {"BOM only at the start", "a\xEF\xBB\xBF", "a" + mark, 1, Unmappable(1, 0xFEFF)},
          // Characters code page 932 cannot hold.
          {"euro on line 3", "a\nb\r\n\xE2\x82\xAC", "a\nb\r\n" + mark, 1, Unmappable(3, 0x20AC)},
          {"lone CR ends a line", "a\rb\r\xE2\x82\xAC", "a\rb\r" + mark, 1, Unmappable(3, 0x20AC)},
          {"four-byte 𠮷", "\xF0\xA0\xAE\xB7x", mark + "x", 1, Unmappable(1, 0x20BB7)},
          {"ⓐ", "\xE2\x93\x90", mark, 1, Unmappable(1, 0x24D0)},
          // Invalid UTF-8: one 〓 per sequence as the decoder resynchronises.
          {"stray byte",
           "a\xFF"
           "b",
           "a" + mark + "b", 1, Invalid(1, "\xFF")},
          {"stray continuation", "\x81\x82", mark + mark, 2, Invalid(1, "\x81")},
          {"cut off at the end", "\xE3\x81", mark, 1, Invalid(1, "\xE3\x81")},
          {"lead, then ASCII read afresh",
           "\xE3\x81"
           "A",
           mark + "A", 1, Invalid(1, "\xE3\x81")},
          {"overlong C0 AF", "\xC0\xAF", mark + mark, 2, Invalid(1, "\xC0")},
          {"overlong E0 80 80", "\xE0\x80\x80", mark + mark + mark, 3, Invalid(1, "\xE0")},
          {"surrogate ED A0 80", "\xED\xA0\x80", mark + mark + mark, 3, Invalid(1, "\xED")},
          {"above U+10FFFF", "\xF4\x90\x80\x80", mark + mark + mark + mark, 4, Invalid(1, "\xF4")},
          {"first of two problems", "\n\xE2\x82\xAC\xFF", "\n" + mark + mark, 2,
           Unmappable(2, 0x20AC)},
      });
}

// --- Messages --------------------------------------------------------------------
TEST(ConversionProblemMessageTest, NamesLineCharacterAndBytes) {
  EXPECT_EQ(ConversionProblemMessage(Unmappable(3, 0x20AC)),
            "変換元ファイルの 3 行目に、シフトJISで表せない文字 U+20AC (€) があるため、変換できま"
            "せん。");
  EXPECT_EQ(ConversionProblemMessage(Unmappable(12, 0x20BB7)),
            "変換元ファイルの 12 行目に、シフトJISで表せない文字 U+20BB7 (𠮷) があるため、変換で"
            "きません。");
  EXPECT_EQ(ConversionProblemMessage(Unmappable(1, 0xE9)),
            "変換元ファイルの 1 行目に、シフトJISで表せない文字 U+00E9 (é) があるため、変換できま"
            "せん。");
  EXPECT_EQ(ConversionProblemMessage(Invalid(1, "\xE3\x81")),
            "変換元ファイルの 1 行目に、変換できないバイト列 (E3 81) があるため、変換できません。");
}

}  // namespace
}  // namespace ostrevin
