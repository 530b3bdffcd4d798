// The converters into Shift-JIS against independent oracles: iconv over every
// JIS X 0208 and JIS X 0212 code and every Unicode code point, detection of
// texts that iconv wrote in each code, also read in pieces, and the pair
// formulas written out.
#include "conversion/kanji_code.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/kanji_code_detector.h"
#include "conversion/utf8_sequence.h"
#include "conversion/utf8_to_shift_jis.h"
#include "core/testing/hex.h"
#include "core/testing/iconv.h"

namespace ostrevin {
namespace {

using testing::Hex;

// Each text in UTF-8 and, through iconv, in EUC, Shift-JIS and JIS, must be
// detected as its code.
void ExpectDetectedInEveryCode(const std::vector<std::string>& utf8_texts) {
  const std::pair<const char*, DetectedCode> codes[] = {{"UTF-8", DetectedCode::kUtf8},
                                                        {"EUC-JP", DetectedCode::kEuc},
                                                        {"CP932", DetectedCode::kShiftJis},
                                                        {"ISO-2022-JP", DetectedCode::kJis}};
  for (const auto& [name, code] : codes) {
    testing::Iconv iconv("UTF-8", name);
    for (const std::string& utf8 : utf8_texts) {
      std::string text;
      ASSERT_TRUE(iconv.Convert(utf8, text)) << name << ": " << utf8;
      EXPECT_EQ(DetectKanjiCode(text), code) << name << ": " << utf8;
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
  testing::Iconv to_utf8("EUC-JP", "UTF-8");
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
    ASSERT_TRUE(to_utf8.Convert(euc, texts.emplace_back())) << Hex(euc);
  }
  ExpectDetectedInEveryCode(texts);
}

// One sequence that breaks UTF-8, before or after あ, at every place against
// the blocks that validity is checked in (the first bytes, whole blocks,
// their seams, the last bytes, the very end): never taken for UTF-8, while
// the same text with い in its place is.
TEST(DetectKanjiCodeTest, EveryKindOfBrokenUtf8AtEveryPlace) {
  const std::string_view broken[] = {
      "\x80",              // a stray continuation byte
      "\xc0\xaf",          // overlong two bytes, C0
      "\xc1\xbf",          // and C1
      "\xe0\x9f\xbf",      // overlong three bytes
      "\xed\xa0\x80",      // a surrogate
      "\xf0\x8f\xbf\xbf",  // overlong four bytes
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xf5\x80\x80\x80",  // a lead that never occurs
      "\xff",
      "\xc2",  // cut off
      "\xe3\x81",
      "\xf0\x9f\x98",
      "\xe3\x81\x82\x82",  // one continuation byte too many
      "\xe3\xe3\x81\x82",  // a lead where a continuation byte is due
  };
  for (const std::string_view bad : broken) {
    for (std::size_t before = 0; before <= 80; ++before) {
      for (std::size_t after = 0; after <= 80; ++after) {
        const std::string ascii_before(before, 'a');
        const std::string ascii_after(after, 'b');
        const std::string middle = ascii_before + std::string(bad) + ascii_after;
        EXPECT_NE(DetectKanjiCode("あ" + middle), DetectedCode::kUtf8)
            << "あ, " << before << " bytes, " << Hex(bad) << ", " << after << " bytes";
        EXPECT_NE(DetectKanjiCode(middle + "あ"), DetectedCode::kUtf8)
            << before << " bytes, " << Hex(bad) << ", " << after << " bytes, あ";
        EXPECT_EQ(DetectKanjiCode("あ" + ascii_before + "い" + ascii_after), DetectedCode::kUtf8);
      }
    }
  }
}

// --- Detection in pieces -------------------------------------------------------
// Texts that reach every rule of the detection, made of lines of real
// characters, each cut into pieces in many ways: the detector fed the pieces
// must find what DetectKanjiCode finds on the whole text.

// `lines` lines of one to twelve words picked at random, each line ended by
// LF, CR LF or CR.
std::string Lines(std::mt19937& random, const std::vector<std::string>& words, int lines) {
  static const char* const kEnds[] = {"\n", "\r\n", "\r"};
  std::string text;
  for (int i = 0; i < lines; ++i) {
    for (unsigned n = 1 + random() % 12; n > 0; --n) text += words[random() % words.size()];
    text += kEnds[random() % 3];
  }
  return text;
}

std::vector<std::string> InCode(const char* code, std::vector<std::string> utf8_words) {
  testing::Iconv iconv("UTF-8", code);
  for (std::string& word : utf8_words) {
    std::string converted;
    EXPECT_TRUE(iconv.Convert(word, converted)) << code << ": " << word;
    word = converted;
  }
  return utf8_words;
}

std::size_t HighBytes(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

// `valid` with a line of stray bytes before or after it, making up `percent`
// of its bytes of 0x80 or above. The line is longer than the stretches that
// the UTF-8 tally takes at a time.
std::string WithInvalid(std::mt19937& random, const std::string& valid, std::size_t percent,
                        bool before) {
  const std::size_t wanted = HighBytes(valid) * percent / (100 - percent);
  const std::string strays[] = {"\xff", "\x80", "\xe3\x81", "\xc0\xaf", "a"};  // E3 81 cut off
  std::string invalid;
  while (HighBytes(invalid) < wanted) invalid += strays[random() % std::size(strays)];
  invalid += '\n';
  return before ? invalid + valid : valid + invalid;
}

// Right after each line end; CR LF is one.
std::vector<std::size_t> LineEndCuts(std::string_view text) {
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if ((text[i] == '\r' && !crlf) || text[i] == '\n') cuts.push_back(i + 1);
  }
  return cuts;
}

// The text cut at `cuts` (ascending, repeats making empty pieces) and fed to
// a detector that takes every reading, and to one told the text's length,
// fed again from the first piece when it asks (once at most).
std::pair<DetectedCode, DetectedCode> DetectInPieces(std::string_view text,
                                                     const std::vector<std::size_t>& cuts) {
  std::vector<std::string_view> pieces;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    pieces.push_back(text.substr(from, cut - from));
    from = cut;
  }
  pieces.push_back(text.substr(from));
  KanjiCodeDetector every;
  for (const std::string_view piece : pieces) EXPECT_TRUE(every.Add(piece));
  KanjiCodeDetector as_needed(text.size());
  std::optional<DetectedCode> code;
  for (int pass = 0; pass < 2 && !code; ++pass) {
    const auto asks_again = [&] {
      for (const std::string_view piece : pieces) {
        if (!as_needed.Add(piece)) return true;
      }
      return false;
    };
    if (!asks_again()) code = as_needed.Result();
  }
  EXPECT_TRUE(code) << "asked for the text a second time";
  return {every.Result().value(), code.value_or(DetectedCode::kNone)};
}

TEST(KanjiCodeDetectorTest, PiecesReadAsTheWholeText) {
  std::mt19937 random(16);
  const std::vector<std::string> ascii = {"plain text ", "Ostrevin 1.0 ", "a", "12, "};
  const std::vector<std::string> japanese = {"吾輩は猫である。", "名前はまだ無い。",
                                             "どこで生れたか", "Ostrevin 1.0 ", "ABC "};
  const std::vector<std::string> utf8 = InCode("UTF-8", japanese);
  const std::vector<std::string> euc = InCode("EUC-JP", japanese);
  const std::vector<std::string> sjis = InCode("CP932", japanese);
  const std::vector<std::string> jis = InCode("ISO-2022-JP", japanese);
  const std::vector<std::string> euc_kana = InCode("EUC-JP", {"ｱｲｳｴｵ", "名前はまだ無い。", " "});
  // Pairs valid in EUC and in Shift-JIS alike, none a half-width katakana.
  const std::vector<std::string> ties = {"\xe0\xa1", "\xe0\xe0", "\xfc\xfc", "a"};
  const std::string bom = "\xef\xbb\xbf";
  const struct {
    const char* name;
    std::string text;
    DetectedCode code;
  } texts[] = {
      {"ASCII", Lines(random, ascii, 40), DetectedCode::kNone},
      {"ESC $ on late lines", Lines(random, ascii, 40) + Lines(random, jis, 3), DetectedCode::kJis},
      {"BOM before EUC", bom + Lines(random, euc, 40), DetectedCode::kUtf8},
      // EF BB BF A1: two EUC pairs; in Shift-JIS, a pair and two half-width katakana.
      {"U+FEFF on a later line", Lines(random, euc, 20) + bom + "\xa1\n" + Lines(random, euc, 20),
       DetectedCode::kEuc},
      {"UTF-8", Lines(random, utf8, 40), DetectedCode::kUtf8},
      {"UTF-8 of two-byte sequences", Lines(random, {"αβγ", "ñã", "Ωé", " "}, 40),
       DetectedCode::kEuc},
      // D0 94: an EUC lead without a partner; in Shift-JIS, ﾐ and a lead.
      {"UTF-8 of two-byte sequences that rule 4 decides", Lines(random, {"Дом", "жизнь", " "}, 40),
       DetectedCode::kShiftJis},
      {"UTF-8 with a stray byte after its last line end", Lines(random, utf8, 40) + "\xff",
       DetectedCode::kUtf8},
      // Read as EUC, the UTF-8 lines hold many misfits; the EUC lines alone, none.
      {"UTF-8, then as much EUC", Lines(random, utf8, 40) + Lines(random, euc, 40),
       DetectedCode::kShiftJis},
      // Long enough for the count of the valid part to be taken in several steps.
      {"UTF-8, 5% invalid late", WithInvalid(random, Lines(random, utf8, 200), 5, false),
       DetectedCode::kUtf8},
      {"UTF-8, 5% invalid early", WithInvalid(random, Lines(random, utf8, 200), 5, true),
       DetectedCode::kUtf8},
      {"UTF-8, 20% invalid late", WithInvalid(random, Lines(random, utf8, 40), 20, false),
       DetectedCode::kShiftJis},
      {"UTF-8, 20% invalid early", WithInvalid(random, Lines(random, utf8, 40), 20, true),
       DetectedCode::kShiftJis},
      {"EUC", Lines(random, euc, 40), DetectedCode::kEuc},
      {"Shift-JIS", Lines(random, sjis, 40), DetectedCode::kShiftJis},
      {"EUC with half-width katakana", Lines(random, euc_kana, 40), DetectedCode::kEuc},
      // 8E B1: EUC ｱ, a Shift-JIS pair; B1 B1: an EUC pair, Shift-JIS ｱｱ.
      {"more half-width katakana in the EUC reading, early",
       Lines(random, {"\x8e\xb1", "a"}, 30) + Lines(random, {"\xb1\xb1", "a"}, 5),
       DetectedCode::kShiftJis},
      {"tie, E0 A1 first", Lines(random, ascii, 5) + "\xe0\xa1\n" + Lines(random, ties, 40),
       DetectedCode::kEuc},
      {"tie, E0 E0 first", Lines(random, ascii, 5) + "\xe0\xe0\n" + Lines(random, ties, 40),
       DetectedCode::kShiftJis},
      {"tie, ESC $ first", Lines(random, jis, 2) + Lines(random, ties, 40), DetectedCode::kJis},
      {"leads before line ends",
       Lines(random, {"\xa4\xa2", "\xa4", "\x8e", "\x8f\xa1", "\x82", "\xe3\x81", "a"}, 40),
       DetectedCode::kShiftJis},
  };
  for (const auto& t : texts) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(DetectKanjiCode(t.text), t.code);
    const std::pair code{t.code, t.code};
    const std::vector<std::size_t> line_ends = LineEndCuts(t.text);
    EXPECT_EQ(DetectInPieces(t.text, {}), code) << "one piece";
    EXPECT_EQ(DetectInPieces(t.text, line_ends), code) << "every line end";
    std::vector<std::size_t> every_byte(t.text.size());
    std::iota(every_byte.begin(), every_byte.end(), std::size_t{1});
    EXPECT_EQ(DetectInPieces(t.text, every_byte), code) << "one byte at a time";
    for (int seed = 0; seed < 4; ++seed) {
      // Some line ends, with an empty piece first and one more somewhere.
      std::vector<std::size_t> cuts = {0};
      for (const std::size_t cut : line_ends) {
        if (random() % 4 == 0) cuts.push_back(cut);
      }
      cuts.push_back(cuts[random() % cuts.size()]);
      std::sort(cuts.begin(), cuts.end());
      EXPECT_EQ(DetectInPieces(t.text, cuts), code) << "line ends, seed " << seed;
      const std::size_t half = line_ends[random() % line_ends.size()];
      EXPECT_EQ(DetectInPieces(t.text, {half}), code) << "two pieces, seed " << seed;
      // Anywhere: in characters, escapes and CR LF pairs.
      cuts.clear();
      for (int n = 0; n < 40; ++n) cuts.push_back(random() % t.text.size());
      std::sort(cuts.begin(), cuts.end());
      EXPECT_EQ(DetectInPieces(t.text, cuts), code) << "anywhere, seed " << seed;
    }
  }
  EXPECT_EQ(KanjiCodeDetector().Result(), DetectedCode::kNone) << "no piece";
  EXPECT_EQ(DetectInPieces("", {}), std::pair(DetectedCode::kNone, DetectedCode::kNone))
      << "one empty piece";
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
// knows.
std::size_t CompareWithIconv(const std::vector<std::string>& codes, const std::string& prefix,
                             const std::string& suffix, const char* from,
                             CodeConversion (*convert)(std::string&, Unconvertible)) {
  testing::Iconv iconv(from, "SJIS");
  std::size_t compared = 0;
  for (const std::string& code : codes) {
    std::string text = prefix + code + suffix;
    std::string expected;
    if (!iconv.Convert(text, expected)) continue;
    EXPECT_FALSE(convert(text, Unconvertible::kRefuse).problem) << from << " " << Hex(code);
    EXPECT_EQ(Hex(text), Hex(expected)) << from << " " << Hex(code);
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

// Fed as one text or one piece at a time, the result is the same. A piece
// holds a few bytes, so it is converted a byte or a pair at a time, while the
// whole text has every pair in runs that the converters take up to sixteen
// bytes at a time, broken by the other pieces at every offset. A piece never
// reaches into the next: a lead without its partner comes with the byte that
// shows it alone.
TEST(KanjiCodeOracleTest, WholeTextEqualsPieces) {
  const struct {
    const char* name;
    CodeConversion (*convert)(std::string&, Unconvertible);
    int first;          // of the bytes of a pair
    std::string start;  // what every piece is converted after
    std::vector<std::string> others;
  } codes[] = {
      {"EUC",
       EucToShiftJis,
       0xA1,
       "",
       {"a", "\n", "\r\n",
        "\xa4"
        "a",
        "\xa4\n", "\x8e\xb1", "\x8f\xe2\xc7",  // ｱ, 鄧
        "\x8f\xab\xd7", "\xff",
        "\x8f\xa1"
        "a"}},  // ō
      {"JIS",
       JisToShiftJis,
       0x21,
       "\x1b$B",
       {"\n", "\r\n", " ", "0\n", "\x7f", "0\x1b$B", "\x1b(B~\x1b$B",
        "\x1b(Bplain text, then more of it\r\n\x1b$B"}},
  };
  std::mt19937 random(7);
  for (const auto& code : codes) {
    std::string whole = code.start;
    std::string pieces;
    const auto add = [&](const std::string& piece) {
      whole += piece;
      std::string one = code.start + piece;
      ASSERT_FALSE(code.convert(one, Unconvertible::kSubstitute).problem);
      pieces += one;
    };
    for (int b1 = code.first; b1 < code.first + 94; ++b1) {
      for (int b2 = code.first; b2 < code.first + 94; ++b2) {
        add({char(b1), char(b2)});
        if (random() % 8 == 0) add(code.others[random() % code.others.size()]);
      }
    }
    ASSERT_FALSE(code.convert(whole, Unconvertible::kSubstitute).problem);
    EXPECT_EQ(Hex(whole), Hex(pieces)) << code.name;
  }
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
        EXPECT_EQ(result.problem, (ConversionProblem{ProblemKind::kUnmappable, 1, c, euc}))
            << Hex(euc);
        ++unmappable;
      } else {
        EXPECT_EQ(result.problem, (ConversionProblem{ProblemKind::kInvalidBytes, 1, 0, euc}))
            << Hex(euc);
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
    if (to_cp932.Convert(utf8::Encode(c), code)) {
      mapped += utf8::Encode(c);
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
    std::string one = utf8::Encode(c);
    const CodeConversion r = Utf8ToShiftJis(one);
    ASSERT_TRUE(r.problem) << std::hex << unsigned(c);
    EXPECT_EQ(r.problem->kind, ProblemKind::kUnmappable) << std::hex << unsigned(c);
    EXPECT_EQ(r.problem->code_point, c);
    EXPECT_EQ(one, utf8::Encode(c));
  }
}

// Long texts, as the converter takes them 64 bytes at a time: kana and kanji
// between ASCII runs of every length up to 40 (copied sixteen bytes at a
// time), line ends, single-byte codes and a two-byte sequence, cut at every
// place by the block's end; and each again with one thing that cannot be
// converted put between two of its pieces, which must be refused there or
// become as many 〓 as utf8::Decode steps over.
TEST(Utf8ToShiftJisOracleTest, MixedRunsAsIconvMapsThem) {
  testing::Iconv to_cp932("UTF-8", "CP932");
  const std::string pieces[] = {"\xE3\x81\x82", "\xE6\xBC\xA2", "\xE3\x82\xA2",
                                "\xE3\x80\x82",                              // あ 漢 ア 。
                                "\xE9\x84\xA7", "\xE2\x91\xA0",              // 鄧 (IBM) ① (NEC)
                                "\xEF\xBD\xB1", "\xE2\x80\xBE", "\xC2\xA7",  // ｱ ‾ (0xB1, 0x7E) §
                                "\r\n",         "\n",           "\r"};
  struct Misfit {
    std::string bytes;
    std::size_t marks;
    ProblemKind kind;
    char32_t code_point;
    std::string first;  // the bytes the problem names
  };
  const Misfit misfits[] = {
      {"\xE2\x82\xAC", 1, ProblemKind::kUnmappable, 0x20AC, "\xE2\x82\xAC"},           // €
      {"\xF0\x9F\x98\x80", 1, ProblemKind::kUnmappable, 0x1F600, "\xF0\x9F\x98\x80"},  // 😀
      {"\xEF\xBB\xBF", 1, ProblemKind::kUnmappable, 0xFEFF, "\xEF\xBB\xBF"},           // BOM inside
      {"\xFF", 1, ProblemKind::kInvalidBytes, 0, "\xFF"},
      {"\xE3\x81", 1, ProblemKind::kInvalidBytes, 0, "\xE3\x81"},  // cut off
      {"\xE0\x82\xA7", 3, ProblemKind::kInvalidBytes, 0, "\xE0"},  // overlong §
      {"\xED\xA0\x80", 3, ProblemKind::kInvalidBytes, 0, "\xED"},  // surrogate
  };
  std::mt19937 random(20261207);
  const auto cp932 = [&](const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(to_cp932.Convert(utf8, out)) << Hex(utf8);
    return out;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> parts;
    std::size_t size = 0;
    while (size < 200) {
      const std::size_t pick = random() % (std::size(pieces) + 3);
      parts.push_back(pick < std::size(pieces)
                          ? pieces[pick]
                          : std::string(random() % 41, static_cast<char>('a' + random() % 26)));
      size += parts.back().size();
    }
    const std::string text = std::accumulate(parts.begin(), parts.end(), std::string());
    std::string converted = text;
    ASSERT_FALSE(Utf8ToShiftJis(converted).problem) << Hex(text);
    ASSERT_EQ(Hex(converted), Hex(cp932(text)));

    const Misfit& misfit = misfits[round % std::size(misfits)];
    // Not at the start, where a BOM is dropped.
    const auto cut = parts.begin() + 1 + static_cast<std::ptrdiff_t>(random() % parts.size());
    const std::string before = std::accumulate(parts.begin(), cut, std::string());
    const std::string after = std::accumulate(cut, parts.end(), std::string());
    const std::string with_misfit = before + misfit.bytes + after;
    std::string refused = with_misfit;
    const CodeConversion problem = Utf8ToShiftJis(refused);
    const ConversionProblem expected{misfit.kind, LineNumberAt(with_misfit, before.size()),
                                     misfit.code_point, misfit.first};
    ASSERT_EQ(problem.problem, expected) << Hex(with_misfit);
    std::string substituted = with_misfit;
    ASSERT_EQ(Utf8ToShiftJis(substituted, Unconvertible::kSubstitute).substituted, misfit.marks);
    std::string marks;
    for (std::size_t i = 0; i < misfit.marks; ++i) marks += "\x81\xAC";  // 〓
    ASSERT_EQ(Hex(substituted), Hex(cp932(before) + marks + cp932(after))) << Hex(with_misfit);
  }
}

}  // namespace
}  // namespace ostrevin
