// Character-code detection and the EUC and JIS converters, byte for byte,
// and checked against iconv over the whole of JIS X 0208.
#include "conversion/kanji_code.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/testing/hex.h"
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

struct ConvertCase {
  const char* name;
  std::string input;
  std::string expected;
};

void ExpectConverts(void (*convert)(std::string&), const std::vector<ConvertCase>& cases) {
  for (const auto& c : cases) {
    std::string text = c.input;
    convert(text);
    EXPECT_EQ(Hex(text), Hex(c.expected)) << c.name << " from " << Hex(c.input);
  }
}

// --- EUC to Shift-JIS ---------------------------------------------------------
// Pairs are checked one by one below; here what lies around them.
TEST(EucToShiftJisTest, ConvertsByTheArithmetic) {
  const std::vector<ConvertCase> cases = {
      {"ascii unchanged", "abc\r\n", "abc\r\n"},
      {"half-width kana 0x8E 0xB1", "\x8e\xb1", "\xb1"},  // ｱ
      {"7-bit kana 0x8E 0x31", "\x8e\x31", "\xb1"},
      {"kana with other byte kept", "\x8e\x7f", "\x7f"},
      {"lone high byte at end kept", "a\xa4", "a\xa4"},
      {"lone 0x8E at end kept", "\x8e", "\x8e"},
      {"JIS X 0212: 0x8F pairs with next, third alone", "\x8f\xa1\xa1", "\x78\x40\xa1"},
      {"mixed", "x\xa4\xa2\r\n\x8e\xb1y", "x\x82\xa0\r\n\xb1y"},
  };
  ExpectConverts(EucToShiftJis, cases);
}

// --- JIS to Shift-JIS ---------------------------------------------------------
// Kanji-mode pairs, CR LF included, are checked one by one below.
TEST(JisToShiftJisTest, ModesAndEscapes) {
  ExpectConverts(JisToShiftJis,
                 {
                     {"ascii unchanged", "abc\r\n", "abc\r\n"},
                     {"ESC $ @ too", "\x1b$@\x24\x22\x1b(J!", "\x82\xa0!"},
                     {"ESC ( I kana", "\x1b(I\x31\x1b(Bz", "\xb1z"},
                     {"SO and SI take one byte each",
                      "a\x0e\x31\x0f"
                      "b",
                      "a\xb1"
                      "b"},
                     {"kana mode turns LF into 0x8A", "\x0e\x31\n", "\xb1\x8a"},
                     {"escape in Roman mode still dropped", "a\x1b(Bb", "ab"},
                     {"unknown escape copied in Roman", "\x1b$(D", "\x1b$(D"},
                     {"lone byte in Kanji mode at the end", "\x1b$B\x24\x22\x24", "\x82\xa0\x24"},
                     {"escape only where a pair begins", "\x1b$B\x24\x1b(B", "\x82\x99\x84\xc0"},
                     {"truncated escape is data", "a\x1b$", "a\x1b$"},
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
// A slow, literal reading of the pair arithmetic, valid or not, for all 65536
// second bytes of every first byte that forms a pair.
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

TEST(KanjiCodeFormulaTest, EveryEucPair) {
  for (unsigned b1 = 0x80; b1 <= 0xFF; ++b1) {
    if (b1 == 0x8E) continue;  // single shift 2, tested above
    for (unsigned b2 = 0; b2 <= 0xFF; ++b2) {
      std::string text = {char(b1), char(b2)};
      EucToShiftJis(text);
      ASSERT_EQ(Hex(text), Hex(EucPairByFormula(b1, b2))) << std::hex << b1 << " " << b2;
    }
  }
}

TEST(KanjiCodeFormulaTest, EveryJisPair) {
  for (unsigned b1 = 0; b1 <= 0xFF; ++b1) {
    if (b1 == 0x1B || b1 == 0x0E || b1 == 0x0F) continue;  // mode switches
    for (unsigned b2 = 0; b2 <= 0xFF; ++b2) {
      std::string text = std::string("\x1b$B") + char(b1) + char(b2);
      JisToShiftJis(text);
      ASSERT_EQ(Hex(text), Hex(JisPairByFormula(b1, b2))) << std::hex << b1 << " " << b2;
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
                             void (*convert)(std::string&)) {
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
    convert(text);
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
      EucToShiftJis(one);
      pieces += one;
    }
  }
  EucToShiftJis(whole);
  EXPECT_EQ(Hex(whole), Hex(pieces));
}

}  // namespace
}  // namespace ostrevin
