// The code conversion and CR LF line ends in one pass, in blocks, checked
// against the whole-text stages run one after the other: the converter, the
// line-end stage and an LF to CR LF rewrite.
#include "conversion/streamed_conversion.h"

#include <fcntl.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"
#include "conversion/source_blocks.h"
#include "conversion/unique_fd.h"
#include "conversion/utf8_to_shift_jis.h"
#include "core/testing/hex.h"
#include "core/testing/scratch_folder.h"

namespace ostrevin {
namespace {

using testing::Hex;

struct Staged {
  CodeConversion code;
  std::size_t not_crlf = 0;
  std::string text;  // with CR LF line ends; empty when refused
};

// The oracle: the stages as the whole-text path runs them.
Staged WholeTextStages(std::string text, DetectedCode code, Unconvertible mode) {
  using Converter = CodeConversion (*)(std::string&, Unconvertible);
  const std::pair<DetectedCode, Converter> converters[] = {{DetectedCode::kEuc, EucToShiftJis},
                                                           {DetectedCode::kJis, JisToShiftJis},
                                                           {DetectedCode::kUtf8, Utf8ToShiftJis}};
  Staged staged;
  for (const auto& [from, convert] : converters) {
    if (from == code) staged.code = convert(text, mode);
  }
  if (staged.code.problem) return staged;
  staged.not_crlf = NormalizeLineEnds(text);
  for (const char c : text) {
    if (c == '\n') staged.text += '\r';
    staged.text += c;
  }
  return staged;
}

// The source in one piece, or cut after every line end that may end a
// piece: an LF, or a CR that no LF follows.
Staged InBlocks(const std::string& text, DetectedCode code, Unconvertible mode,
                std::size_t block_size, bool cut_at_line_ends = false,
                LineEndOutput line_ends = LineEndOutput::kCrLf) {
  std::string block(block_size, '\0');
  Staged staged;
  BlockConversion conversion(
      code, mode, block,
      [&](std::string_view bytes) {
        EXPECT_LE(bytes.size(), block_size);
        EXPECT_FALSE(bytes.empty());
        staged.text += bytes;
      },
      [&](std::uint64_t offset) { return LineNumberAt(text, offset) - 1; }, line_ends);
  std::size_t start = 0;
  for (std::size_t i = 0; cut_at_line_ends && i + 1 < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n')) {
      conversion.Add(std::string_view(text).substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  conversion.Add(std::string_view(text).substr(start));
  const StreamedConversion done = conversion.Finish();
  staged.code = done.code;
  // A refused text has no line ends to speak of.
  if (!staged.code.problem) {
    staged.not_crlf = done.not_crlf;
  } else {
    staged.text.clear();
  }
  return staged;
}

// Every block size from the smallest up to a few steps, and a large one.
void ExpectSameAsStages(const std::string& text, DetectedCode code) {
  for (const Unconvertible mode : {Unconvertible::kRefuse, Unconvertible::kSubstitute}) {
    const Staged expected = WholeTextStages(text, code, mode);
    for (std::size_t size = 2 * kMaxStepBytes + 1; size <= 4 * kMaxStepBytes + 1; ++size) {
      const Staged got = InBlocks(text, code, mode, size);
      ASSERT_EQ(got.code.problem, expected.code.problem) << Hex(text) << " block " << size;
      ASSERT_EQ(got.code.substituted, expected.code.substituted) << Hex(text) << " block " << size;
      ASSERT_EQ(got.not_crlf, expected.not_crlf) << Hex(text) << " block " << size;
      ASSERT_EQ(Hex(got.text), Hex(expected.text)) << Hex(text) << " block " << size;
    }
    EXPECT_EQ(Hex(InBlocks(text, code, mode, 1 << 16).text), Hex(expected.text));
    // With LF line ends, as the stages before the file leave them: the
    // converted text holds no CR but those of its CR LF.
    std::string lf_text = expected.text;
    std::erase(lf_text, '\r');
    for (const LineEndOutput line_ends : {LineEndOutput::kCrLf, LineEndOutput::kLf}) {
      const Staged pieces = InBlocks(text, code, mode, 1 << 16, true, line_ends);
      EXPECT_EQ(pieces.code, expected.code) << Hex(text);
      EXPECT_EQ(pieces.not_crlf, expected.not_crlf) << Hex(text);
      EXPECT_EQ(Hex(pieces.text), Hex(line_ends == LineEndOutput::kLf ? lf_text : expected.text));
    }
  }
}

struct Fragments {
  DetectedCode code;
  std::vector<std::string> pieces;
};

// Pieces of text in each code, with the line ends of every kind, runs long
// enough for the sixteen-byte steps, and things that cannot be converted.
const Fragments kFragments[] = {
    {DetectedCode::kEuc,
     {"a", "\r", "\n", "\r\n", "abcdefgh", "\xa4\xa2",                     // あ
      "\xb0\xa1\xb0\xa2\xb0\xa3\xb0\xa4\xb0\xa5\xb0\xa6\xb0\xa7\xb0\xa8",  // 亜唖娃阿哀愛挨姶
      "\xfe\xfe\xdf\xe0\xde\xdf\xe0\xe0\xa1\xa1\xf4\xa6\xad\xa1\xa5\xfe",  // both halves of rows
      "\x8e\xb1",                                                          // ｱ
      "\x8f\xe2\xc7",                                                      // 鄧
      "\x8f\xab\xd7",                                                      // ō: unmappable
      "\xa4", "\x8f", "\xff"}},
    {DetectedCode::kJis,
     {"a", "\r", "\n", "\r\n", "\x1b$B", "\x1b(B", "\x1b(I", "\x0e", "\x0f", "0!",
      "0!0\"0#0$0%0&0'0(", "~~_`^_``!!t&-!%~", "1", "\x1b$(D", "\x7f", "\xb1"}},
    {DetectedCode::kUtf8,
     {"a", "\r", "\n", "\r\n", "\xef\xbb\xbf", "\xe3\x81\x82",  // BOM, あ
      "\xef\xbd\xb1",                                           // ｱ
      "\xe2\x82\xac",                                           // €: unmappable
      "\xc2\xa7", "\xf0\x9f\x98\x80", "\xe3\x81", "\x80", "\xed\xa0\x80"}},
    {DetectedCode::kShiftJis,
     {"a", "\r", "\n", "\r\n", "\x82\xa0", "\x82\r", "\x81\n", "abcdefgh"}},
};

// --- Texts made of the pieces above, at random ----------------------------------
TEST(ConvertInBlocksTest, MatchesTheWholeTextStages) {
  std::mt19937 random(20261207);
  for (const Fragments& fragments : kFragments) {
    SCOPED_TRACE(static_cast<int>(fragments.code));
    std::uniform_int_distribution<std::size_t> pick(0, fragments.pieces.size() - 1);
    for (int round = 0; round < 60; ++round) {
      std::string text;
      const std::size_t pieces = 1 + random() % 40;
      for (std::size_t i = 0; i < pieces; ++i) text += fragments.pieces[pick(random)];
      ExpectSameAsStages(text, fragments.code);
    }
  }
}

// --- Shapes the random texts may miss --------------------------------------------
TEST(ConvertInBlocksTest, LineEndsAcrossWhatWritesNothing) {
  // A JIS escape sequence between CR and LF writes nothing: one CR LF.
  ExpectSameAsStages("a\r\x1b(B\nb", DetectedCode::kJis);
  // A UTF-8 BOM, a lone CR at the end, an empty text.
  ExpectSameAsStages("\xef\xbb\xbf\n\r", DetectedCode::kUtf8);
  ExpectSameAsStages("", DetectedCode::kEuc);
  // A CR LF whose CR is the last byte of a full block.
  for (std::size_t before = 0; before < 40; ++before) {
    ExpectSameAsStages(std::string(before, 'x') + "\r\n\r\n", DetectedCode::kShiftJis);
  }
  // Line ends of every kind at every place of the 64-byte blocks that take
  // ASCII and pairs whole (あ), a CR LF across two blocks among them.
  for (std::size_t before = 0; before < 70; ++before) {
    ExpectSameAsStages(
        std::string(before, 'x') + "\r\n\xa4\xa2\r\r\n\n\xa4\xa2" + std::string(70, 'y'),
        DetectedCode::kEuc);
  }
}

// --- A source file read in pieces ------------------------------------------------
// Blocks of a few bytes: every piece but the last ends where a piece may, the
// pieces make the file, the line ends before each are those of the whole
// text, and a second pass gives the same.
TEST(SourceBlocksTest, PiecesEndAtLineEndsAndMakeTheFile) {
  const testing::ScratchFolder dir;
  const std::string texts[] = {"",
                               "abc",
                               "a\r\nb\rc\n\r\n",
                               "\r\r\r\n\nx\r",
                               "a longer line with no line end at all",
                               "x\ry\r\nz"};
  for (const std::string& text : texts) {
    const std::string path = dir.Write("in", text);
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    for (const std::size_t block : {1, 2, 3, 7, 1 << 16}) {
      SCOPED_TRACE(Hex(text) + " block " + std::to_string(block));
      SourceBlocks blocks(fd.get(), path, text.size(), block);
      for (int pass = 0; pass < 2; ++pass) {
        std::string joined;
        for (auto piece = blocks.Next(); !piece.empty(); piece = blocks.Next()) {
          EXPECT_EQ(blocks.LineEndsBefore(joined.size()), LineNumberAt(text, joined.size()) - 1);
          joined += piece;
          if (joined.size() == text.size()) continue;
          const char last = piece.back();
          EXPECT_TRUE(last == '\n' || (last == '\r' && text[joined.size()] != '\n'));
        }
        EXPECT_EQ(Hex(joined), Hex(text));
        EXPECT_FALSE(blocks.met_nul());
        blocks.Restart();
      }
    }
  }
  // A second pass reads the file again unless it fitted in one block.
  const std::string lines = dir.Write("lines", "a\nb\nc\n");
  const UniqueFd lines_fd(open(lines.c_str(), O_RDONLY | O_CLOEXEC));
  for (const std::size_t block : {4, 64}) {
    SourceBlocks blocks(lines_fd.get(), lines, 6, block);
    for (int pass = 0; pass < 2; ++pass) {
      while (!blocks.Next().empty()) {
      }
      blocks.Restart();
    }
    EXPECT_EQ(blocks.read_again(), block == 4) << block;
  }
  // A NUL byte ends the pieces wherever it is.
  const std::string path = dir.Write("nul", std::string("a\nb\n\0c\n", 7));
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  SourceBlocks blocks(fd.get(), path, 7, 2);
  while (!blocks.Next().empty()) {
  }
  EXPECT_TRUE(blocks.met_nul());
}

}  // namespace
}  // namespace ostrevin
