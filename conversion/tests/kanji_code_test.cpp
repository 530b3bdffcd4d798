// Character-code detection and the EUC and JIS converters, byte for byte,
// and checked against iconv over the whole of JIS X 0208.
#include "conversion/kanji_code.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/tests/conversion_cases.h"
#include "core/testing/hex.h"
#include "core/testing/iconv.h"
#include "core/testing/scratch_folder.h"

namespace ostrevin {
namespace {

using testing::Hex;

struct DetectCase {
  const char* name;
  std::string text;
  DetectedCode expected;
};

// --- Detection: each reading is checked ------------------------------------------
TEST(DetectKanjiCodeTest, ChecksEachReading) {
  const std::vector<DetectCase> cases = {
      // No byte of 0x80 or above: ESC $ or nothing.
      {"empty", "", DetectedCode::kNone},
      {"ascii only", "plain text\r\n", DetectedCode::kNone},
      {"ESC $ is JIS", "ab\x1b$B", DetectedCode::kJis},
      {"ESC alone is not", "ab\x1b(B", DetectedCode::kNone},
      // UTF-8: a BOM, or 90% valid with a sequence of three or four bytes.
      {"UTF-8 漢字のテキストです。 (was EUC)",
       "\xe6\xbc\xa2\xe5\xad\x97\xe3\x81\xae\xe3\x83\x86\xe3\x82\xad\xe3\x82\xb9\xe3\x83\x88"
       "\xe3\x81\xa7\xe3\x81\x99\xe3\x80\x82",
       DetectedCode::kUtf8},
      {"UTF-8 日本語 (was Shift-JIS)", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", DetectedCode::kUtf8},
      {"UTF-8 あい, valid Shift-JIS too", "\xe3\x81\x82\xe3\x81\x84", DetectedCode::kUtf8},
      {"a single three-byte character", "a\xe3\x81\x82", DetectedCode::kUtf8},
      {"a BOM alone", "\xef\xbb\xbf", DetectedCode::kUtf8},
      {"a BOM, then invalid bytes", "\xef\xbb\xbf\xa4\xa2\xff", DetectedCode::kUtf8},
      {"日本語 and one stray byte: 9 of 10", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xff",
       DetectedCode::kUtf8},
      {"あ and one stray byte: 3 of 4", "\xe3\x81\x82\xff", DetectedCode::kShiftJis},
      {"Shift-JIS ﾎｱ reads as α: no three-byte sequence", "\xce\xb1", DetectedCode::kEuc},
      {"EUC 単達 reads as ñã", "\xc3\xb1\xc3\xa3", DetectedCode::kEuc},
      {"overlong three bytes do not count", "\xe0\x80\xaf\xe0\x80\xaf", DetectedCode::kShiftJis},
      {"a surrogate is no UTF-8", "\xed\xa0\x80", DetectedCode::kShiftJis},
      {"nor is anything above U+10FFFF", "\xf4\x90\x80\x80", DetectedCode::kShiftJis},
      {"日本 cut off in 語: 3 of 5", "\xe6\x97\xa5\xe6\x97", DetectedCode::kShiftJis},
      // EUC against Shift-JIS: valid in only one of them.
      {"Shift-JIS ﾃｽﾄﾃﾞｰﾀ 123 (C0 20 is no EUC; was EUC)",
       "\xc3\xbd\xc4\xc3\xde\xb0\xc0\x20\x31\x32\x33", DetectedCode::kShiftJis},
      {"Shift-JIS 日本語", "\x93\xfa\x96\x7b\x8c\xea", DetectedCode::kShiftJis},
      {"EUC 日本語", "\xc6\xfc\xcb\xdc\xb8\xec", DetectedCode::kEuc},
      {"EUC JIS X 0212 ō", "T\x8f\xab\xd7kaido", DetectedCode::kEuc},
      {"EUC 7-bit kana 8E 31 then あ", "\x8e\x31\xa4\xa2", DetectedCode::kEuc},
      // Valid in both: fewer half-width katakana.
      {"EUC ｽﾄのデ (8E xx is Shift-JIS too; was Shift-JIS)", "\x8e\xbd\x8e\xc4\xa4\xce\xa5\xc7",
       DetectedCode::kEuc},
      {"Shift-JIS ｱ alone (was EUC)", "\xb1", DetectedCode::kShiftJis},
      // Valid in neither: fewer bytes that do not fit.
      {"Shift-JIS あい and a stray FF", "\x82\xa0\x82\xa2\xff", DetectedCode::kShiftJis},
      {"EUC ◯◯ and a stray 80 (FE is no Shift-JIS)", "\xa2\xfe\xa2\xfe\x80", DetectedCode::kEuc},
      // Counts are gathered 16384 bytes at a time from the first high byte:
      // a character across the seam is still one character.
      {"EUC あ, then あ across the seam", "\xa4\xa2" + std::string(16381, 'a') + "\xa4\xa2",
       DetectedCode::kEuc},
      {"EUC あ, then 8F A1 | A1 across the seam and 8F alone",
       "\xa4\xa2" + std::string(16380, 'a') + "\x8f\xa1\xa1\x8f", DetectedCode::kEuc},
      // All equal: the first decisive byte.
      {"E0 A1: A1 decides EUC", "\xe0\xa1", DetectedCode::kEuc},
      {"ESC $ before the first high byte", "\x1b$B\xe0\xa1", DetectedCode::kJis},
      {"E0 E0 E0 A1: the chain ends at EUC", "\xe0\xe0\xe0\xa1", DetectedCode::kEuc},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectKanjiCode(c.text), c.expected) << c.name;
  }
}

// Runs `command` with `input` on standard input and returns its standard
// output, one string per line.
std::vector<std::string> ConvertLines(const std::vector<std::string>& lines, const char* from,
                                      const char* to) {
  testing::ScratchFolder folder;
  std::string input;
  for (const auto& line : lines) input += line + "\n";
  folder.Write("in", input);
  const std::string command = std::string("iconv -f ") + from + " -t " + to + " < '" +
                              (folder / "in") + "' > '" + (folder / "out") + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::string> out(1);
  for (const char c : folder.Read("out")) {
    if (c == '\n') {
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  out.pop_back();
  EXPECT_EQ(out.size(), lines.size()) << from << " to " << to;
  return out;
}

// Each text in UTF-8 and, through iconv, in EUC, Shift-JIS and JIS, must be
// detected as its code.
void ExpectDetectedInEveryCode(const std::vector<std::string>& utf8_texts) {
  const struct {
    const char* iconv_name;
    DetectedCode code;
  } codes[] = {{"UTF-8", DetectedCode::kUtf8},
               {"EUC-JP", DetectedCode::kEuc},
               {"CP932", DetectedCode::kShiftJis},
               {"ISO-2022-JP", DetectedCode::kJis}};
  for (const auto& [name, code] : codes) {
    const std::vector<std::string> texts = ConvertLines(utf8_texts, "UTF-8", name);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(DetectKanjiCode(texts[i]), code) << name << ": " << utf8_texts[i];
    }
  }
}

// Real-looking texts of every script class.
TEST(DetectKanjiCodeTest, TextsOfEveryScriptClass) {
  ExpectDetectedInEveryCode({
      "ひらがなだけでかいたぶんしょうです。",
      "カタカナデカイタブンショウデス。",
      "漢字熟語表記検査",
      "ＡＢＣ１２３、全角の英数字。",
      "「記号」※〒〓→←↑↓、。・",
      "αβγδ ДЖЗИ ギリシャ文字とキリル文字",
      "Ostrevin 1.0 で変換します",
  });
}

// Random texts of eight or more JIS X 0208 characters (symbols, kana, both
// kanji levels; ASCII spaces now and then), generated in EUC from the rows
// where every cell is a character, and turned into each code by iconv.
TEST(DetectKanjiCodeTest, RandomTextsOfEightCharacters) {
  struct Rows {
    int first, last, cells;
  };
  const Rows rows[] = {{1, 1, 94}, {4, 4, 83}, {5, 5, 86}, {16, 46, 94}, {48, 83, 94}};
  std::mt19937 random(20261207);
  std::vector<std::string> texts;
  for (int n = 0; n < 300; ++n) {
    std::string euc;
    const int length = 8 + n % 9;
    for (int i = 0; i < length; ++i) {
      if (random() % 8 == 0) euc += ' ';
      const Rows& r = rows[random() % std::size(rows)];
      const int row = r.first + int(random() % unsigned(r.last - r.first + 1));
      const int cell = 1 + int(random() % unsigned(r.cells));
      euc += {char(0xA0 + row), char(0xA0 + cell)};
    }
    texts.push_back(euc);
  }
  ExpectDetectedInEveryCode(ConvertLines(texts, "EUC-JP", "UTF-8"));
}

using testing::Invalid;
using testing::kMark;
using testing::Unmappable;

// --- EUC to Shift-JIS ---------------------------------------------------------
// Valid pairs are checked one by one below; here what lies around them.
TEST(EucToShiftJisTest, ConvertsRefusesAndSubstitutes) {
  testing::ExpectConversions(
      EucToShiftJis,
      {
          {"ascii unchanged", "abc\r\n", "abc\r\n", 0, {}},
          {"half-width kana 0x8E 0xB1", "\x8e\xb1", "\xb1", 0, {}},  // ｱ
          {"7-bit kana 0x8E 0x31", "\x8e\x31", "\xb1", 0, {}},
          {"mixed", "x\xa4\xa2\r\n\x8e\xb1y", "x\x82\xa0\r\n\xb1y", 0, {}},
          {"JIS X 0212 鄧 that code page 932 has", "\x8f\xe2\xc7", "\xfb\xb9", 0, {}},
          // Nothing after an odd character is damaged.
          {"JIS X 0212 ō that it lacks", "T\x8f\xab\xd7kaido\n", "T" + kMark + "kaido\n", 1,
           Unmappable(1, 0x14D, "\x8f\xab\xd7")},
          {"lead without its second byte keeps the LF", "ab\xa4\nnext\n", "ab" + kMark + "\nnext\n",
           1, Invalid(1, "\xa4")},
          {"lead at the very end", "a\xa4", "a" + kMark, 1, Invalid(1, "\xa4")},
          {"0x8E with a byte that is no kana", "\x8e\x7f", kMark + "\x7f", 1, Invalid(1, "\x8e")},
          {"0x8E at the end", "\x8e", kMark, 1, Invalid(1, "\x8e")},
          {"0x8F with one fitting byte",
           "\x8f\xa1"
           "A",
           kMark + "A", 1, Invalid(1, "\x8f\xa1")},
          {"0x8F alone",
           "\x8f"
           "A",
           kMark + "A", 1, Invalid(1, "\x8f")},
          {"JIS X 0212 code that is no character", "\x8f\xa1\xa1", kMark, 1,
           Invalid(1, "\x8f\xa1\xa1")},
          {"stray bytes on line 2", "x\n\x80\xa0\xff", "x\n" + kMark + kMark + kMark, 3,
           Invalid(2, "\x80")},
          {"lead with ASCII (made a NUL before)", "\xa1\x61", kMark + "a", 1, Invalid(1, "\xa1")},
      });
}

// --- JIS to Shift-JIS ---------------------------------------------------------
// Kanji-mode pairs are checked one by one below.
TEST(JisToShiftJisTest, ConvertsRefusesAndSubstitutes) {
  testing::ExpectConversions(
      JisToShiftJis,
      {
          {"ascii unchanged", "abc\r\n", "abc\r\n", 0, {}},
          {"ESC $ @ too", "\x1b$@\x24\x22\x1b(J!", "\x82\xa0!", 0, {}},
          {"ESC ( I kana", "\x1b(I\x31\x1b(Bz", "\xb1z", 0, {}},
          {"SO and SI take one byte each",
           "a\x0e\x31\x0f"
           "b",
           "a\xb1"
           "b",
           0,
           {}},
          {"escape in Roman mode still dropped", "a\x1b(Bb", "ab", 0, {}},
          {"8-bit katakana in Roman mode", "\xb1", "\xb1", 0, {}},
          // Control bytes and space are copied in every mode and keep it.
          {"LF inside Kanji mode", "x\x1b$B0!\n0!\x1b(B\n", "x\x88\x9f\n\x88\x9f\n", 0, {}},
          {"space and TAB inside Kanji mode",
           "\x1b$B0! 0!\t0!",
           "\x88\x9f \x88\x9f\t\x88\x9f",
           0,
           {}},
          {"LF inside Kana mode", "\x0e\x31\n\x31\x0f", "\xb1\n\xb1", 0, {}},
          // Invalid sequences.
          {"unknown escape", "\x1b$(D", kMark, 1, Invalid(1, "\x1b$(D")},
          {"escape cut off at the end", "a\x1b$", "a" + kMark, 1, Invalid(1, "\x1b$")},
          {"Kanji: lone byte at the end", "\x1b$B\x24\x22\x24", "\x82\xa0" + kMark, 1,
           Invalid(1, "\x24")},
          {"Kanji: 0 LF !", "\x1b$B0\n!", kMark + "\n" + kMark, 2, Invalid(1, "0")},
          {"Kanji: escape where a partner should be", "\x1b$B\x24\x1b(Bz", kMark + "z", 1,
           Invalid(1, "\x24")},
          {"Kanji: DEL and high bytes", "\x1b$B\x7f\xa4\xa2", kMark + kMark + kMark, 3,
           Invalid(1, "\x7f")},
          {"Kana: 0x60 and above", "\r\n\x1b(I\x60\x31", "\r\n" + kMark + "\xb1", 1,
           Invalid(2, "\x60")},
          {"Roman: 0x80 and 0xE0", "a\x80\xe0", "a" + kMark + kMark, 2, Invalid(1, "\x80")},
      });
}

// --- Automatic detection -------------------------------------------------------
TEST(AutoToShiftJisTest, ConvertsEucJisAndUtf8) {
  struct AutoCase {
    const char* name;
    std::string input;
    bool converted;
    std::string expected;
  };
  const std::vector<AutoCase> cases = {
      {"ascii", "abc", false, "abc"},
      {"sjis", "\x82\xa0\xa4", false, "\x82\xa0\xa4"},
      {"euc", "\xa4\xa2", true, "\x82\xa0"},
      {"jis", "\x1b$B\x24\x22\x1b(B", true, "\x82\xa0"},
      {"utf-8", "\xe3\x81\x82", true, "\x82\xa0"},
      {"utf-8 refused: left alone", "\xe3\x81\x82\xe2\x82\xac", false, "\xe3\x81\x82\xe2\x82\xac"},
  };
  for (const auto& c : cases) {
    std::string text = c.input;
    EXPECT_EQ(AutoToShiftJis(text).converted(), c.converted) << c.name;
    EXPECT_EQ(Hex(text), Hex(c.expected)) << c.name;
  }
}

// --- Every byte pair against the formulas written out with branches ----------------
// A slow, literal reading of the pair arithmetic for every pair of bytes in
// the valid ranges; a first byte with any other second byte is refused alone.
std::string EucPairByFormula(unsigned b1, unsigned b2) {
  const unsigned h = b1 >> 1;
  unsigned s1, s2;
  if (b1 % 2 == 1) {
    s1 = b1 <= 0xDD ? h + 0x31 : h + 0x71;
    s2 = b2 <= 0xDF ? b2 - 0x61 : b2 - 0x60;
  } else {
    s1 = b1 <= 0xDE ? h + 0x30 : h + 0x70;
    s2 = b2 - 2;
  }
  return {char(s1 & 0xFF), char(s2 & 0xFF)};
}

std::string JisPairByFormula(unsigned b1, unsigned b2) {
  const unsigned h = b1 >> 1;
  unsigned s1, s2;
  if (b1 % 2 == 1) {
    s1 = b1 <= 0x5D ? h + 0x71 : h + 0xB1;
    s2 = b2 <= 0x5F ? b2 + 0x1F : b2 + 0x20;
  } else {
    s1 = b1 <= 0x5E ? h + 0x70 : h + 0xB0;
    s2 = b2 + 0x7E;
  }
  return {char(s1 & 0xFF), char(s2 & 0xFF)};
}

// Converts the pair b1 b2 after `prefix`: the formula's two bytes when both
// are in [low, high], else refused with b1 as the invalid sequence.
void ExpectPair(CodeConversion (*convert)(std::string&, Unconvertible), const std::string& prefix,
                unsigned b1, unsigned b2, unsigned low, unsigned high,
                std::string (*formula)(unsigned, unsigned)) {
  std::string text = prefix + char(b1) + char(b2);
  const CodeConversion result = convert(text, Unconvertible::kRefuse);
  const bool valid = b1 >= low && b1 <= high && b2 >= low && b2 <= high;
  if (valid) {
    ASSERT_FALSE(result.problem) << std::hex << b1 << " " << b2;
    ASSERT_EQ(Hex(text), Hex(formula(b1, b2))) << std::hex << b1 << " " << b2;
  } else {
    ASSERT_TRUE(result.problem) << std::hex << b1 << " " << b2;
    ASSERT_EQ(Hex(result.problem->bytes), Hex(std::string(1, char(b1))))
        << std::hex << b1 << " " << b2;
  }
}

TEST(KanjiCodeFormulaTest, EveryEucPair) {
  for (unsigned b1 = 0x80; b1 <= 0xFF; ++b1) {
    if (b1 == 0x8E || b1 == 0x8F) continue;  // single shifts, tested above
    for (unsigned b2 = 0; b2 <= 0xFF; ++b2) {
      ExpectPair(EucToShiftJis, "", b1, b2, 0xA1, 0xFE, EucPairByFormula);
    }
  }
}

TEST(KanjiCodeFormulaTest, EveryJisPair) {
  for (unsigned b1 = 0x21; b1 <= 0xFF; ++b1) {
    for (unsigned b2 = 0; b2 <= 0xFF; ++b2) {
      if (b2 == 0x1B || b2 == 0x0E || b2 == 0x0F) continue;  // b1 alone, then a mode switch
      ExpectPair(JisToShiftJis, "\x1b$B", b1, b2, 0x21, 0x7E, JisPairByFormula);
    }
  }
}

// --- Oracle: iconv over every JIS X 0208 code ----------------------------------
// Converts every code, written as prefix + code + suffix, with `convert` and
// compares it with iconv's Shift-JIS for it; returns how many codes iconv
// knows. Each code stands on its own line: iconv -c drops the unassigned ones,
// which leaves their lines empty, so line i still belongs to code i.
std::size_t CompareWithIconv(const std::vector<std::string>& codes, const std::string& prefix,
                             const std::string& suffix, const std::string& from,
                             CodeConversion (*convert)(std::string&, Unconvertible)) {
  testing::ScratchFolder folder;
  std::string input;
  for (const auto& code : codes) input += prefix + code + suffix + "\n";
  folder.Write("in", input);
  const std::string command = "iconv -c -f " + from + " -t SJIS < '" + (folder / "in") + "' > '" +
                              (folder / "out") + "' 2>/dev/null";
  (void)std::system(command.c_str());  // -c exits 1 when it dropped characters
  std::vector<std::string> lines(1);
  for (const char c : folder.Read("out")) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  lines.pop_back();
  EXPECT_EQ(lines.size(), codes.size());
  std::size_t compared = 0;
  for (std::size_t i = 0; i < std::min(codes.size(), lines.size()); ++i) {
    if (lines[i].empty()) continue;
    std::string text = prefix + codes[i] + suffix;
    EXPECT_FALSE(convert(text, Unconvertible::kRefuse).problem) << from << " " << Hex(codes[i]);
    EXPECT_EQ(Hex(text), Hex(lines[i])) << from << " " << Hex(codes[i]);
    ++compared;
  }
  return compared;
}

TEST(KanjiCodeOracleTest, EucMatchesIconv) {
  std::vector<std::string> codes;
  for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
    for (int b2 = 0xA1; b2 <= 0xFE; ++b2) codes.push_back({char(b1), char(b2)});
  }
  for (int b2 = 0xA1; b2 <= 0xDF; ++b2) codes.push_back({'\x8e', char(b2)});  // half-width kana
  // 6879 JIS X 0208 characters and 63 kana.
  EXPECT_GT(CompareWithIconv(codes, "", "", "EUC-JP", EucToShiftJis), 6900u);
}

TEST(KanjiCodeOracleTest, JisMatchesIconv) {
  std::vector<std::string> codes;
  for (int b1 = 0x21; b1 <= 0x7E; ++b1) {
    for (int b2 = 0x21; b2 <= 0x7E; ++b2) codes.push_back({char(b1), char(b2)});
  }
  EXPECT_GT(CompareWithIconv(codes, "\x1b$B", "\x1b(B", "ISO-2022-JP", JisToShiftJis), 6800u);
}

// Fed one character at a time or as one text, the result is the same (the
// converters keep no state across texts except the JIS mode within one).
TEST(KanjiCodeOracleTest, WholeTextEqualsPieces) {
  std::string whole;
  std::string pieces;
  for (int b1 = 0xA1; b1 <= 0xFE; b1 += 3) {
    for (int b2 = 0xA1; b2 <= 0xFE; b2 += 5) {
      std::string one = {char(b1), char(b2)};
      whole += one;
      ASSERT_FALSE(EucToShiftJis(one).problem);
      pieces += one;
    }
  }
  ASSERT_FALSE(EucToShiftJis(whole).problem);
  EXPECT_EQ(Hex(whole), Hex(pieces));
}

// Every JIS X 0212 code (EUC 8F xx yy): the code page 932 code where glibc's
// EUC-JP and CP932 converters give one, else a character Shift-JIS cannot hold
// (when EUC-JP decodes it) or an invalid sequence.
TEST(KanjiCodeOracleTest, JisX0212AsIconvMapsIt) {
  testing::Iconv to_cp932("EUC-JP", "CP932");
  testing::Iconv to_utf32("EUC-JP", "UTF-32BE");
  std::size_t converted = 0;
  std::size_t unmappable = 0;
  for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
    for (int b3 = 0xA1; b3 <= 0xFE; ++b3) {
      const std::string euc = {'\x8f', char(b2), char(b3)};
      std::string text = euc;
      const CodeConversion result = EucToShiftJis(text);
      std::string sjis;
      std::string utf32;
      if (to_cp932.Convert(euc, sjis)) {
        ASSERT_FALSE(result.problem) << Hex(euc);
        EXPECT_EQ(Hex(text), Hex(sjis)) << Hex(euc);
        ++converted;
      } else if (to_utf32.Convert(euc, utf32)) {
        ASSERT_EQ(utf32.size(), 4u);
        const char32_t c = char32_t(std::uint8_t(utf32[1])) << 16 |
                           char32_t(std::uint8_t(utf32[2])) << 8 | std::uint8_t(utf32[3]);
        EXPECT_EQ(result.problem, Unmappable(1, c, euc)) << Hex(euc);
        ++unmappable;
      } else {
        EXPECT_EQ(result.problem, Invalid(1, euc)) << Hex(euc);
      }
    }
  }
  EXPECT_GT(converted, 250u);  // IBM extensions among others
  EXPECT_GT(unmappable, 5000u);
}

// Control bytes inside Kanji and Kana mode, as iconv reads them (plain
// ISO-2022-JP passes ESC ( I through as data; ISO-2022-JP-3 knows it).
TEST(KanjiCodeOracleTest, ControlBytesInsideModesAsIconvReadsThem) {
  const std::pair<const char*, std::string> cases[] = {
      {"ISO-2022-JP", "x\x1b$B0!\n0!\x1b(B\nplain ascii line\n"},
      {"ISO-2022-JP", "\x1b$B0!\r\n0!\t$\\\x1b(B\r\n"},
      {"ISO-2022-JP-3", "a\x1b(I1\n1\r\n2\x1b(B\n"},
  };
  for (const auto& [from, jis] : cases) {
    std::string expected;
    ASSERT_TRUE(testing::Iconv(from, "CP932").Convert(jis, expected)) << Hex(jis);
    std::string text = jis;
    EXPECT_FALSE(JisToShiftJis(text).problem) << Hex(jis);
    EXPECT_EQ(Hex(text), Hex(expected)) << Hex(jis);
  }
}

}  // namespace
}  // namespace ostrevin
