// Fuzz target for the text stages of the file pipeline: DetectKanjiCode, whole
// and in pieces, the code converters, NormalizeLineEnds and the HTML steps,
// over any bytes.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/html_strip.h"
#include "conversion/kanji_code.h"
#include "conversion/kanji_code_detector.h"
#include "conversion/line_ends.h"
#include "conversion/streamed_conversion.h"
#include "conversion/utf8_sequence.h"
#include "conversion/utf8_to_shift_jis.h"
#include "fuzz/fuzz_input.h"
#include "tables/conversion_table.h"

namespace {

using namespace ostrevin;
using fuzz::Require;

// The line ends rewritten the slow way: the oracle for NormalizeLineEnds.
std::string ReferenceLineEnds(std::string_view text, std::size_t& not_crlf) {
  std::string out;
  not_crlf = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out.push_back('\n');
      ++i;
    } else if (text[i] == '\r' || text[i] == '\n') {
      out.push_back('\n');
      ++not_crlf;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool PlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x80 && b != 0x1B && b != 0x0E && b != 0x0F;
  });
}

// The detection rule of kanji_code.h read literally, one byte or sequence at
// a time and without shortcuts: the oracle for DetectKanjiCode.
DetectedCode ReferenceDetect(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const auto in = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
  const std::size_t n = text.size();
  std::size_t high_bytes = 0;
  for (std::size_t i = 0; i < n; ++i) high_bytes += byte(i) >= 0x80;
  if (high_bytes == 0) {
    return text.find("\x1b$") != std::string_view::npos ? DetectedCode::kJis : DetectedCode::kNone;
  }
  if (text.starts_with("\xEF\xBB\xBF")) return DetectedCode::kUtf8;
  std::size_t valid = 0;
  bool long_sequence = false;
  for (std::size_t i = 0; i < n;) {
    const auto sequence =
        utf8::Decode(reinterpret_cast<const std::uint8_t*>(text.data()) + i, n - i);
    if (sequence.valid && byte(i) >= 0x80) {
      valid += sequence.length;
      long_sequence |= sequence.length >= 3;
    }
    i += sequence.length;
  }
  if (long_sequence && valid * 10 >= high_bytes * 9) return DetectedCode::kUtf8;
  std::size_t euc_misfits = 0, euc_kana = 0, sjis_misfits = 0, sjis_kana = 0;
  for (std::size_t i = 0; i < n;) {
    const unsigned b = byte(i);
    const unsigned b2 = i + 1 < n ? byte(i + 1) : 0;
    const unsigned b3 = i + 2 < n ? byte(i + 2) : 0;
    if (b < 0x80) {
      i += 1;
    } else if (in(b, 0xA1, 0xFE) && in(b2, 0xA1, 0xFE)) {
      i += 2;
    } else if (b == 0x8E && (in(b2, 0xA1, 0xDF) || in(b2, 0x21, 0x5F))) {
      ++euc_kana;
      i += 2;
    } else if (b == 0x8F && in(b2, 0xA1, 0xFE) && in(b3, 0xA1, 0xFE)) {
      i += 3;
    } else {
      ++euc_misfits;
      i += 1;
    }
  }
  for (std::size_t i = 0; i < n;) {
    const unsigned b = byte(i);
    const unsigned b2 = i + 1 < n ? byte(i + 1) : 0;
    if (b < 0x80) {
      i += 1;
    } else if (in(b, 0xA1, 0xDF)) {
      ++sjis_kana;
      i += 1;
    } else if ((in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC)) && i + 1 < n &&
               (in(b2, 0x40, 0x7E) || in(b2, 0x80, 0xFC))) {
      i += 2;
    } else {
      ++sjis_misfits;
      i += 1;
    }
  }
  if (euc_misfits != sjis_misfits) {
    return euc_misfits < sjis_misfits ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  if (euc_kana != sjis_kana) {
    return euc_kana < sjis_kana ? DetectedCode::kEuc : DetectedCode::kShiftJis;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned b = byte(i);
    const unsigned next = i + 1 < n ? byte(i + 1) : 0;
    if (b == 0x1B && next == 0x24) return DetectedCode::kJis;
    if (b < 0x80) continue;
    if (in(b, 0x81, 0x9F)) return DetectedCode::kShiftJis;
    if (in(b, 0xA1, 0xDF)) return DetectedCode::kEuc;
    if (next <= 0xA0) return DetectedCode::kShiftJis;
    if (b == 0xFD || b == 0xFE) return DetectedCode::kEuc;
  }
  return DetectedCode::kNone;
}

using Converter = CodeConversion (*)(std::string&, Unconvertible);

// The properties every converter into Shift-JIS has; returns the text as the
// refusing converter leaves it, and whether it was refused.
std::string CheckConverter(const char* name, Converter convert, std::string_view input,
                           bool& refused) {
  const std::string detail = std::string(name) + " " + fuzz::Hex(input);
  std::string text(input);
  const CodeConversion result = convert(text, Unconvertible::kRefuse);
  refused = result.problem.has_value();
  if (refused) {
    Require(text == input, "a refused text is left alone", detail);
    Require(result.problem->line <= LineNumberAt(input, input.size()),
            "a problem's line lies within the text", detail);
    Require(!result.problem->bytes.empty() &&
                input.find(result.problem->bytes) != std::string_view::npos,
            "a problem names bytes of the text", detail);
  } else {
    Require(text.size() <= input.size(), "a converted text is never longer", detail);
  }
  std::string substituted(input);
  const CodeConversion marks = convert(substituted, Unconvertible::kSubstitute);
  Require(!marks.problem && (marks.substituted == 0) == !refused,
          "a converter substitutes exactly where it would refuse", detail);
  Require(marks.substituted <= input.size(), "never more than one substitute per byte", detail);
  if (!refused) Require(substituted == text, "substituting changes nothing convertible", detail);
  if (input.find('\0') == std::string_view::npos) {
    Require(substituted.find('\0') == std::string::npos,
            "no NUL byte comes out of a text without one", detail);
  }
  if (PlainAscii(input)) Require(text == input, "plain ASCII is copied", detail);
  return text;
}

void CheckConverters(std::string_view input) {
  const std::string detail = fuzz::Hex(input);
  const DetectedCode code = DetectKanjiCode(input);
  Require(code == DetectedCode::kNone || code == DetectedCode::kEuc ||
              code == DetectedCode::kShiftJis || code == DetectedCode::kJis ||
              code == DetectedCode::kUtf8,
          "DetectKanjiCode gives one of its five codes", detail);
  Require(code == ReferenceDetect(input), "DetectKanjiCode follows its rule read literally",
          detail);
  // In pieces: cut after every line-end byte (splitting CR LF too), and
  // every few bytes, as many as the input's length picks; the pieces cut
  // after line ends also to a detector told the length, fed them again when
  // it asks (once at most).
  std::vector<std::string_view> lines;
  KanjiCodeDetector by_bytes;
  bool added = true;
  const std::size_t step = input.size() % 7 + 1;
  for (std::size_t from = 0, i = 0; i < input.size(); ++i) {
    if (input[i] == '\r' || input[i] == '\n' || i + 1 == input.size()) {
      lines.push_back(input.substr(from, i + 1 - from));
      from = i + 1;
    }
    if (i % step == 0) added = by_bytes.Add(input.substr(i, step)) && added;
  }
  KanjiCodeDetector by_lines;
  for (const std::string_view line : lines) added = by_lines.Add(line) && added;
  Require(added && by_lines.Result() == code && by_bytes.Result() == code,
          "KanjiCodeDetector over pieces agrees with DetectKanjiCode", detail);
  KanjiCodeDetector as_needed(input.size());
  std::optional<DetectedCode> found;
  for (int pass = 0; pass < 2 && !found; ++pass) {
    if (std::all_of(lines.begin(), lines.end(),
                    [&](std::string_view line) { return as_needed.Add(line); })) {
      found = as_needed.Result();
    }
  }
  Require(found == code, "KanjiCodeDetector told the length agrees, asking again once at most",
          detail);

  bool euc_refused = false;
  bool jis_refused = false;
  bool utf8_refused = false;
  const std::string euc = CheckConverter("EUC", EucToShiftJis, input, euc_refused);
  const std::string jis = CheckConverter("JIS", JisToShiftJis, input, jis_refused);
  const std::string utf8 = CheckConverter("UTF-8", Utf8ToShiftJis, input, utf8_refused);

  std::string automatic(input);
  const AutoConversion done = AutoToShiftJis(automatic);
  Require(done.code == code, "AutoToShiftJis converts by what DetectKanjiCode found", detail);
  switch (code) {
    case DetectedCode::kEuc:
      Require(automatic == euc && done.converted() == !euc_refused,
              "AutoToShiftJis on EUC is EucToShiftJis", detail);
      break;
    case DetectedCode::kJis:
      Require(automatic == jis && done.converted() == !jis_refused,
              "AutoToShiftJis on JIS is JisToShiftJis", detail);
      break;
    case DetectedCode::kUtf8:
      Require(automatic == utf8 && done.converted() == !utf8_refused,
              "AutoToShiftJis on UTF-8 is Utf8ToShiftJis", detail);
      break;
    case DetectedCode::kNone:
    case DetectedCode::kShiftJis:
      Require(automatic == input && !done.converted(),
              "AutoToShiftJis leaves Shift-JIS and undecided texts alone", detail);
      break;
  }
}

void CheckLineEnds(std::string_view input) {
  const std::string detail = fuzz::Hex(input);
  std::size_t expected_count = 0;
  const std::string expected = ReferenceLineEnds(input, expected_count);
  std::string text(input);
  const std::size_t count = NormalizeLineEnds(text);
  Require(text.find('\r') == std::string::npos, "NormalizeLineEnds leaves no CR", detail);
  Require(text.size() <= input.size(), "NormalizeLineEnds never lengthens the text", detail);
  Require(text == expected && count == expected_count,
          "NormalizeLineEnds agrees with the byte-by-byte rewrite", detail);
  // Run again, the text stays and every line end (now a lone LF) counts.
  std::string again = text;
  const auto line_feeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  Require(NormalizeLineEnds(again) == line_feeds && again == text,
          "NormalizeLineEnds changes a normalised text no more", detail);
}

// The stages that ConvertInBlocks fuses, run one after the other on the
// whole text: the converter, the line ends, and each LF written as CR LF.
std::string WholeTextStages(std::string_view input, Converter convert, Unconvertible mode,
                            CodeConversion& result, std::size_t& not_crlf) {
  std::string text(input);
  result = convert ? convert(text, mode) : CodeConversion{};
  if (result.problem) return {};
  not_crlf = NormalizeLineEnds(text);
  std::string out;
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// The source handed over in pieces, each cut after a line end that may end
// one (an LF, or a CR that no LF follows), as a file is read: the same
// result, the problem's line counted over the whole text, and with LF line
// ends the same text less its CR.
void CheckPieces(std::string_view input, DetectedCode code, Unconvertible mode,
                 const CodeConversion& expected, std::size_t expected_not_crlf,
                 const std::string& whole, std::string& block) {
  std::string lf_whole = whole;
  std::erase(lf_whole, '\r');
  for (const LineEndOutput line_ends : {LineEndOutput::kCrLf, LineEndOutput::kLf}) {
    const std::string detail = fuzz::Hex(input) + " code " +
                               std::to_string(static_cast<int>(code)) + " in pieces, " +
                               (line_ends == LineEndOutput::kLf ? "LF" : "CR LF");
    std::string streamed;
    BlockConversion conversion(
        code, mode, block, [&](std::string_view bytes) { streamed += bytes; },
        [&](std::uint64_t offset) { return LineNumberAt(input, offset) - 1; }, line_ends);
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < input.size(); ++i) {
      if (input[i] == '\n' || (input[i] == '\r' && input[i + 1] != '\n')) {
        conversion.Add(input.substr(start, i + 1 - start));
        start = i + 1;
      }
    }
    conversion.Add(input.substr(start));
    const StreamedConversion done = conversion.Finish();
    Require(done.code == expected, "the same problem or count of 〓 in pieces", detail);
    if (!expected.problem) {
      Require(streamed == (line_ends == LineEndOutput::kLf ? lf_whole : whole) &&
                  done.not_crlf == expected_not_crlf,
              "the same bytes and line-end count in pieces", detail);
    }
  }
}

// Converted in blocks of every small size, a text comes out as the whole
// text does from the stages one after the other.
void CheckBlocks(std::string_view input) {
  const std::pair<DetectedCode, Converter> codes[] = {{DetectedCode::kEuc, EucToShiftJis},
                                                      {DetectedCode::kJis, JisToShiftJis},
                                                      {DetectedCode::kUtf8, Utf8ToShiftJis},
                                                      {DetectedCode::kShiftJis, nullptr}};
  // Eight sizes in a row put the block ends at every offset the fuzzer
  // shifts its input by; the largest holds most inputs whole.
  std::string block(2 * 1024, '\0');
  std::vector<std::size_t> sizes;
  for (std::size_t size = 2 * kMaxStepBytes + 1; size <= 2 * kMaxStepBytes + 8; ++size) {
    sizes.push_back(size);
  }
  sizes.push_back(block.size());
  for (const auto& [code, convert] : codes) {
    for (const Unconvertible mode : {Unconvertible::kRefuse, Unconvertible::kSubstitute}) {
      CodeConversion expected;
      std::size_t expected_not_crlf = 0;
      const std::string whole = WholeTextStages(input, convert, mode, expected, expected_not_crlf);
      for (const std::size_t size : sizes) {
        const std::string detail = fuzz::Hex(input) + " code " +
                                   std::to_string(static_cast<int>(code)) + " block " +
                                   std::to_string(size);
        std::string streamed;
        const StreamedConversion done = ConvertInBlocks(
            input, code, mode, std::span<char>(block.data(), size), [&](std::string_view bytes) {
              Require(!bytes.empty() && bytes.size() <= size, "blocks fit their buffer", detail);
              streamed += bytes;
            });
        Require(done.code == expected, "the same problem or count of 〓 in blocks", detail);
        if (!expected.problem) {
          Require(streamed == whole && done.not_crlf == expected_not_crlf,
                  "the same bytes and line-end count in blocks", detail);
        }
      }
      CheckPieces(input, code, mode, expected, expected_not_crlf, whole, block);
    }
  }
}

// Tags removed the obvious way: from each "<" up to and including the next
// ">", or to the end of the text.
std::string ReferenceStripTags(std::string_view text) {
  std::string out;
  bool in_tag = false;
  for (const char c : text) {
    if (in_tag) {
      in_tag = c != '>';
    } else if (c == '<') {
      in_tag = true;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

void CheckHtml(std::string_view input) {
  const std::string detail = fuzz::Hex(input);
  std::string text(input);
  const bool had_tag = StripHtmlTags(text);
  Require(had_tag == (input.find('<') != std::string_view::npos),
          "StripHtmlTags reports whether the text held a \"<\"", detail);
  Require(text == ReferenceStripTags(input), "StripHtmlTags agrees with the reference", detail);
  Require(text.find('<') == std::string::npos, "no \"<\" is left after StripHtmlTags", detail);

  const std::string before_entities = text;
  std::string one_pass = text;
  const bool one_pass_changed = ReplaceEntitiesAndCollapseBlankLines(one_pass);
  const bool replaced = ReplaceHtmlEntities(text);
  Require(text.size() <= before_entities.size(), "entity replacement never lengthens the text",
          detail);
  Require(replaced || text == before_entities, "an unchanged flag means an unchanged text", detail);

  // Runs of LF are found by whole Shift-JIS characters, so an LF right after
  // a lead byte belongs to that byte and a run may stay; a second pass finds
  // nothing more.
  const std::string before_collapse = text;
  std::string first_pass = text;
  const bool shortened = ReplaceAll(first_pass, "\n\n\n", "\n\n") > 0;
  const bool collapsed = CollapseBlankLines(text);
  Require(collapsed == shortened, "CollapseBlankLines reports whether it shortened a run", detail);
  Require(text.size() <= before_collapse.size(), "CollapseBlankLines never lengthens the text",
          detail);
  std::string again = text;
  Require(!CollapseBlankLines(again) && again == text, "CollapseBlankLines leaves nothing to do",
          detail);
  Require(one_pass == text && one_pass_changed == (replaced || collapsed),
          "the one-pass entities and collapse agree with the steps", detail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckConverters(input);
  CheckLineEnds(input);
  CheckBlocks(input);
  // The engine behind the entity commands takes texts without NUL bytes, as
  // the pipeline refuses a source that holds one.
  CheckHtml(input.substr(0, input.find('\0')));
  // The pipeline's order: code conversion, then line ends.
  std::string text(input);
  (void)AutoToShiftJis(text, Unconvertible::kSubstitute);
  (void)NormalizeLineEnds(text);
  Require(text.find('\r') == std::string::npos, "no CR after code conversion and line ends",
          fuzz::Hex(input));
  return 0;
}
