// The cases of code_cases.txt: detection, whole and in pieces, and the
// converters into Shift-JIS, refusing and substituting; and the messages of
// what cannot be converted.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "conversion/conversion_problem.h"
#include "conversion/kanji_code.h"
#include "conversion/kanji_code_detector.h"
#include "conversion/utf8_sequence.h"
#include "conversion/utf8_to_shift_jis.h"
#include "core/testing/case_file.h"
#include "core/testing/hex.h"

namespace ostrevin {
namespace {

using testing::Case;
using testing::Hex;

// The detected code that field `field` names.
DetectedCode CodeNamed(const Case& c, std::size_t field) {
  static const std::pair<const char*, DetectedCode> kCodes[] = {{"none", DetectedCode::kNone},
                                                                {"euc", DetectedCode::kEuc},
                                                                {"sjis", DetectedCode::kShiftJis},
                                                                {"jis", DetectedCode::kJis},
                                                                {"utf8", DetectedCode::kUtf8}};
  for (const auto& [name, code] : kCodes) {
    if (c[field] == name) return code;
  }
  ADD_FAILURE() << c.Where() << ": unknown code " << c[field];
  return DetectedCode::kNone;
}

// "-", "LINE invalid BYTES", "LINE U+XXXX" or "LINE U+XXXX BYTES".
std::optional<ConversionProblem> ProblemOf(const Case& c, std::size_t field) {
  const std::string& text = c[field];
  if (text == "-") return std::nullopt;
  const std::size_t first = text.find(' ');
  const std::size_t second = text.find(' ', first + 1);
  ConversionProblem problem;
  problem.line = std::stoul(text.substr(0, first));
  const std::string what = text.substr(first + 1, second - first - 1);
  const std::string bytes =
      second == std::string::npos ? "" : testing::Unescape(text.substr(second + 1), c.Where());
  if (what == "invalid") {
    problem.kind = ProblemKind::kInvalidBytes;
    problem.bytes = bytes;
  } else if (what.starts_with("U+")) {
    problem.kind = ProblemKind::kUnmappable;
    problem.code_point = static_cast<char32_t>(std::stoul(what.substr(2), nullptr, 16));
    problem.bytes = bytes.empty() ? utf8::Encode(problem.code_point) : bytes;
  } else {
    ADD_FAILURE() << c.Where() << ": malformed problem: " << text;
  }
  return problem;
}

CodeConversion (*ConverterNamed(const std::string& name))(std::string&, Unconvertible) {
  if (name == "euc") return EucToShiftJis;
  if (name == "jis") return JisToShiftJis;
  if (name == "utf8") return Utf8ToShiftJis;
  return nullptr;
}

TEST(CodeCases, FromTheCaseFile) {
  for (const Case& c : testing::ReadCases(OSTREVIN_TEST_DIR "/code_cases.txt")) {
    const testing::CaseTrace trace(c);
    if (c[0] == "detect") {
      if (!c.Has(3)) continue;
      const std::string text = c.Bytes(1);
      const DetectedCode code = CodeNamed(c, 2);
      EXPECT_EQ(DetectKanjiCode(text), code);
      // Also in two pieces cut at every position, and a byte at a time.
      KanjiCodeDetector bytes;
      for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        KanjiCodeDetector two;
        EXPECT_TRUE(two.Add(std::string_view(text).substr(0, cut)));
        EXPECT_TRUE(two.Add(std::string_view(text).substr(cut)));
        EXPECT_EQ(two.Result(), code) << "cut at " << cut;
        EXPECT_TRUE(bytes.Add(std::string_view(text).substr(cut, 1)));
      }
      EXPECT_EQ(bytes.Result(), code) << "a byte at a time";
    } else if (c[0] == "auto") {
      if (!c.Has(4)) continue;
      std::string text = c.Bytes(1);
      EXPECT_EQ(AutoToShiftJis(text).converted(), c[3] == "y");
      EXPECT_EQ(Hex(text), Hex(c.Bytes(2)));
    } else if (const auto convert = ConverterNamed(c[0])) {
      if (!c.Has(5)) continue;
      const std::string input = c.Bytes(1);
      const std::string output = c.Bytes(2);
      const std::optional<ConversionProblem> problem = ProblemOf(c, 4);
      std::string text = input;
      EXPECT_EQ(convert(text, Unconvertible::kRefuse).problem, problem);
      EXPECT_EQ(Hex(text), Hex(problem ? input : output));
      text = input;
      const CodeConversion substituted = convert(text, Unconvertible::kSubstitute);
      EXPECT_FALSE(substituted.problem);
      EXPECT_EQ(substituted.substituted, static_cast<std::size_t>(c.Number(3)));
      EXPECT_EQ(Hex(text), Hex(output));
    } else {
      ADD_FAILURE() << c.Where() << ": unknown command " << c[0];
    }
  }
}

// Counts are gathered 16384 bytes at a time from the first high byte: a
// character across the seam is still one character.
TEST(CodeCases, DetectionAcrossTheSeam) {
  EXPECT_EQ(DetectKanjiCode("\xa4\xa2" + std::string(16381, 'a') + "\xa4\xa2"), DetectedCode::kEuc);
  EXPECT_EQ(DetectKanjiCode("\xa4\xa2" + std::string(16380, 'a') + "\x8f\xa1\xa1\x8f"),
            DetectedCode::kEuc);
}

// The reader every case file goes through: a stray TAB at the end of a line
// (an empty note) must not pass for a well-formed case.
TEST(CaseFileTest, FieldCountsAndAStrayTab) {
  const auto has = [](std::vector<std::string> fields, std::size_t count) {
    return testing::Case("f", 1, std::move(fields)).Has(count);
  };
  EXPECT_TRUE(has({"a", ""}, 2));
  EXPECT_TRUE(has({"a", "b", "note"}, 2));
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(has({"a", "b", ""}, 2)), "f:1: malformed case");
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(has({"a"}, 2)), "f:1: malformed case");
}

TEST(ConversionProblemMessageTest, NamesLineCharacterAndBytes) {
  const auto unmappable = [](std::size_t line, char32_t c) {
    return ConversionProblem{ProblemKind::kUnmappable, line, c, utf8::Encode(c)};
  };
  EXPECT_EQ(ConversionProblemMessage(unmappable(3, 0x20AC)),
            "変換元ファイルの 3 行目に、シフトJISで表せない文字 U+20AC (€) があるため、変換できま"
            "せん。");
  EXPECT_EQ(ConversionProblemMessage(unmappable(12, 0x20BB7)),
            "変換元ファイルの 12 行目に、シフトJISで表せない文字 U+20BB7 (𠮷) があるため、変換で"
            "きません。");
  EXPECT_EQ(ConversionProblemMessage(unmappable(1, 0xE9)),
            "変換元ファイルの 1 行目に、シフトJISで表せない文字 U+00E9 (é) があるため、変換できま"
            "せん。");
  EXPECT_EQ(ConversionProblemMessage({ProblemKind::kInvalidBytes, 1, 0, "\xE3\x81"}),
            "変換元ファイルの 1 行目に、変換できないバイト列 (E3 81) があるため、変換できません。");
}

}  // namespace
}  // namespace ostrevin
