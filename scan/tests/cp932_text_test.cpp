// Tests for Cp932ToUtf8: known characters of each region of code page 932,
// and the shown codes of what it cannot map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cp932_text.h"

namespace ostrevin {
namespace {

TEST(Cp932ToUtf8, MapsEachRegionAndShowsUnmappableCodes) {
  struct Row {
    const char* note;
    std::string cp932, utf8;
  };
  const std::vector<Row> rows = {
      {"ASCII and controls", std::string("a\\~\t\r\n\0z", 8), std::string("a\\~\t\r\n\0z", 8)},
      {"あ U+3042", "\x82\xA0", "\xE3\x81\x82"},
      {"ｱ U+FF71", "\xB1", "\xEF\xBD\xB1"},
      {"① U+2460", "\x87\x40", "\xE2\x91\xA0"},
      {"～ U+FF5E", "\x81\x60", "\xEF\xBD\x9E"},
      {"＼ U+FF3C", "\x81\x5F", "\xEF\xBC\xBC"},
      {"NEC-selected IBM 纊 U+7E8A", "\xED\x40", "\xE7\xBA\x8A"},
      {"IBM ⅰ U+2170", "\xFA\x40", "\xE2\x85\xB0"},
      {"user-defined U+E000", "\xF0\x40", "\xEE\x80\x80"},
      {"表 U+8868, trail byte 5C", "\x95\x5C", "\xE8\xA1\xA8"},
      // What code page 932 cannot map is shown as its code; decoding goes on.
      {"empty row 85", "\x85\x40", "<8540>"},
      {"byte A0", "\xA0", "<A0>"},
      {"bytes FD-FF", "\xFD\xFE\xFF", "<FD><FE><FF>"},
      {"lead at end", "a\x81", "a<81>"},
      {"lead before LF", "\x81\n\x82\xA0", "<81>\n\xE3\x81\x82"},
      {"between mapped", "\x82\xA0\x85\x40\x82\xA0", "\xE3\x81\x82<8540>\xE3\x81\x82"},
  };
  for (const Row& r : rows) EXPECT_EQ(Cp932ToUtf8(r.cp932), r.utf8) << r.note;
  EXPECT_EQ(Cp932ToUtf8("a\x85\x40\xA0", Cp932Unmappable::kReplacement),
            "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Shown codes take four bytes for one, and then every ｱ three: the buffer
// grows on either path.
TEST(Cp932ToUtf8, LongInputOfShownCodesGrowsTheBuffer) {
  std::string expected;
  for (int i = 0; i < 10000; ++i) expected += "<A0>";
  for (int i = 0; i < 10000; ++i) expected += "\xEF\xBD\xB1";
  EXPECT_EQ(Cp932ToUtf8(std::string(10000, '\xA0') + std::string(10000, '\xB1')), expected);
}

}  // namespace
}  // namespace ostrevin
