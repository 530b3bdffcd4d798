// Tests for UnescapeTableField: every escape, and the malformed-input policy
// written beside the function.
#include <gtest/gtest.h>

#include <string>

#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

struct UnescapeCase {
  const char* name;
  std::string field;
  std::string expected;
};

void PrintTo(const UnescapeCase& c, std::ostream* os) { *os << c.name; }

class UnescapeTable : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(UnescapeTable, Decodes) {
  std::string field = GetParam().field;
  UnescapeTableField(field);
  EXPECT_EQ(field, GetParam().expected);
}

// Well-formed escapes.
INSTANTIATE_TEST_SUITE_P(
    Escapes, UnescapeTable,
    ::testing::Values(UnescapeCase{"plain", "abc", "abc"}, UnescapeCase{"lf", "a\\nb", "a\nb"},
                      UnescapeCase{"tab", "a\\tb", "a\tb"},
                      UnescapeCase{"backslash", "c\\\\d", "c\\d"},
                      UnescapeCase{"hash", "\\#1", "#1"},
                      UnescapeCase{"hex_lower", "\\x41\\x4a", "AJ"},
                      UnescapeCase{"hex_upper_x", "\\X4A", "J"},
                      UnescapeCase{"hex_high_byte", "\\x82\\xA0", "\x82\xA0"},  // あ
                      UnescapeCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Malformed escapes shorten the field.
INSTANTIATE_TEST_SUITE_P(Malformed, UnescapeTable,
                         ::testing::Values(UnescapeCase{"lone_backslash_at_end", "abc\\", "abc"},
                                           UnescapeCase{"unknown_escape_dropped", "a\\qb", "ab"},
                                           UnescapeCase{"upper_n_is_unknown", "a\\Nb", "ab"},
                                           UnescapeCase{"hex_bad_digit", "ab\\xZ1cd", "ab"},
                                           UnescapeCase{"hex_second_digit_bad", "ab\\x4Gcd", "ab"},
                                           UnescapeCase{"hex_one_digit_at_end", "ab\\x4", "ab"},
                                           UnescapeCase{"hex_no_digit_at_end", "ab\\x", "ab"},
                                           UnescapeCase{"hex_nul_ends_field", "ab\\x00cd", "ab"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A backslash that is a trail byte starts no escape.
INSTANTIATE_TEST_SUITE_P(ShiftJis, UnescapeTable,
                         ::testing::Values(
                             // 表 = 95 5C
                             UnescapeCase{"hyou_trail_backslash", "\x95\x5Cn", "\x95\x5Cn"},
                             // ソ = 83 5C, then an escaped LF
                             UnescapeCase{"so_then_escape", "\x83\x5C\\n", "\x83\x5C\n"},
                             // ｱ = B1 is single-byte: the backslash after it is an escape
                             UnescapeCase{"kana_then_escape", "\xB1\\t", "\xB1\t"},
                             // A lead byte at the very end stays.
                             UnescapeCase{"trailing_lead_byte", "a\x95", "a\x95"},
                             // An escape that writes a lead byte does not swallow the next byte.
                             UnescapeCase{"escaped_lead_byte", "\\x95\\n", "\x95\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ostrevin
