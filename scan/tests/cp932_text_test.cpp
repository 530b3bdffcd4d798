// Tests for Cp932ToUtf8: known characters of each region of code page 932,
// and the shown codes of what it cannot map.
#include <gtest/gtest.h>

#include <string>

#include "core/cp932_text.h"

namespace ostrevin {
namespace {

struct DecodeCase {
  const char* name;
  std::string cp932;
  std::string utf8;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class Cp932Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Cp932Decode, ShowsCode) { EXPECT_EQ(Cp932ToUtf8(GetParam().cp932), GetParam().utf8); }

// Mapped characters, one per region.
INSTANTIATE_TEST_SUITE_P(
    Mapped, Cp932Decode,
    ::testing::Values(DecodeCase{"ascii_and_controls", std::string("a\\~\t\r\n\0z", 8),
                                 std::string("a\\~\t\r\n\0z", 8)},
                      DecodeCase{"hiragana_a", "\x82\xA0", "\xE3\x81\x82"},           // あ U+3042
                      DecodeCase{"half_width_a", "\xB1", "\xEF\xBD\xB1"},             // ｱ U+FF71
                      DecodeCase{"circled_one", "\x87\x40", "\xE2\x91\xA0"},          // ① U+2460
                      DecodeCase{"approx_equal", "\x87\x90", "\xE2\x89\x92"},         // ≒ U+2252
                      DecodeCase{"fullwidth_tilde", "\x81\x60", "\xEF\xBD\x9E"},      // ～ U+FF5E
                      DecodeCase{"fullwidth_backslash", "\x81\x5F", "\xEF\xBC\xBC"},  // ＼ U+FF3C
                      DecodeCase{"nec_selected_ibm", "\xED\x40", "\xE7\xBA\x8A"},     // 纊 U+7E8A
                      DecodeCase{"ibm_small_roman_one", "\xFA\x40", "\xE2\x85\xB0"},  // ⅰ U+2170
                      DecodeCase{"user_defined_first", "\xF0\x40",
                                 "\xEE\x80\x80"},  // U+E000 (private use)
                      DecodeCase{"hyou_trail_backslash", "\x95\x5C", "\xE8\xA1\xA8"}),  // 表 U+8868
    [](const auto& info) { return std::string(info.param.name); });

// What code page 932 cannot map is shown as its code; decoding goes on.
INSTANTIATE_TEST_SUITE_P(
    Unmappable, Cp932Decode,
    ::testing::Values(
        DecodeCase{"empty_row_85", "\x85\x40", "<8540>"},
        DecodeCase{"row_eb", "a\xEB\x40z", "a<EB40>z"}, DecodeCase{"nbsp_byte", "\xA0", "<A0>"},
        DecodeCase{"byte_80", "\x80", "<80>"},
        DecodeCase{"bytes_fd_ff", "\xFD\xFE\xFF", "<FD><FE><FF>"},
        DecodeCase{"lead_at_end", "a\x81", "a<81>"},
        DecodeCase{"lead_before_lf", "\x81\n\x82\xA0", "<81>\n\xE3\x81\x82"},  // then あ
        DecodeCase{"between_mapped", "\x82\xA0\x85\x40\x82\xA0", "\xE3\x81\x82<8540>\xE3\x81\x82"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cp932ToUtf8, ReplacementModeShowsUFFFD) {
  EXPECT_EQ(Cp932ToUtf8("a\x85\x40\xA0", Cp932Unmappable::kReplacement),
            "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Cp932ToUtf8, LongInputOfShownCodesGrowsTheBuffer) {
  const std::string input(10000, '\xA0');
  std::string expected;
  for (int i = 0; i < 10000; ++i) expected += "<A0>";
  EXPECT_EQ(Cp932ToUtf8(input), expected);
}

}  // namespace
}  // namespace ostrevin
