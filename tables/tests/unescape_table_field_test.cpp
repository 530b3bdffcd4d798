// Tests for UnescapeTableField: every escape, and the malformed-input policy
// written beside the function.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

TEST(UnescapeTableField, Decodes) {
  struct Case {
    const char* name;
    std::string field;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Well-formed escapes.
      {"plain", "abc", "abc"},
      {"lf", "a\\nb", "a\nb"},
      {"tab", "a\\tb", "a\tb"},
      {"backslash", "c\\\\d", "c\\d"},
      {"hash", "\\#1", "#1"},
      {"hex_lower", "\\x41\\x4a", "AJ"},
      {"hex_upper_x", "\\X4A", "J"},
      {"hex_high_byte", "\\x82\\xA0", "\x82\xA0"},  // あ
      {"empty", "", ""},
      // Malformed escapes shorten the field.
      {"lone_backslash_at_end", "abc\\", "abc"},
      {"unknown_escape_dropped", "a\\qb", "ab"},
      {"upper_n_is_unknown", "a\\Nb", "ab"},
      {"hex_bad_digit", "ab\\xZ1cd", "ab"},
      {"hex_second_digit_bad", "ab\\x4Gcd", "ab"},
      {"hex_one_digit_at_end", "ab\\x4", "ab"},
      {"hex_no_digit_at_end", "ab\\x", "ab"},
      {"hex_nul_ends_field", "ab\\x00cd", "ab"},
      // A backslash that is a trail byte starts no escape: 表 = 95 5C,
      // ソ = 83 5C; ｱ = B1 is one byte, so the backslash after it is one.
      {"hyou_trail_backslash", "\x95\x5Cn", "\x95\x5Cn"},
      {"so_then_escape", "\x83\x5C\\n", "\x83\x5C\n"},
      {"kana_then_escape", "\xB1\\t", "\xB1\t"},
      {"trailing_lead_byte", "a\x95", "a\x95"},
      // An escape that writes a lead byte does not swallow the next byte.
      {"escaped_lead_byte", "\\x95\\n", "\x95\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string field = c.field;
    UnescapeTableField(field);
    EXPECT_EQ(field, c.expected);
  }
}

}  // namespace
}  // namespace ostrevin
