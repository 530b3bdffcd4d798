// Fuzz target for the text stages of the file pipeline: DetectKanjiCode, the
// three code converters and NormalizeLineEnds, over any bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/kanji_code.h"
#include "conversion/line_ends.h"
#include "fuzz/fuzz_input.h"

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

void CheckConverters(std::string_view input) {
  const std::string detail = fuzz::Hex(input);
  const DetectedCode code = DetectKanjiCode(input);
  Require(code == DetectedCode::kNone || code == DetectedCode::kEuc ||
              code == DetectedCode::kShiftJis || code == DetectedCode::kJis,
          "DetectKanjiCode gives one of its four codes", detail);

  std::string euc(input);
  EucToShiftJis(euc);
  Require(euc.size() <= input.size(), "EucToShiftJis never lengthens the text", detail);
  std::string jis(input);
  JisToShiftJis(jis);
  Require(jis.size() <= input.size(), "JisToShiftJis never lengthens the text", detail);
  if (PlainAscii(input)) {
    Require(euc == input, "EucToShiftJis copies plain ASCII", detail);
    Require(jis == input, "JisToShiftJis copies plain ASCII", detail);
  }

  std::string automatic(input);
  const bool converted = AutoToShiftJis(automatic);
  Require(automatic.size() <= input.size(), "AutoToShiftJis never lengthens the text", detail);
  if (!converted) {
    Require(automatic == input, "AutoToShiftJis leaves a text it did not convert alone", detail);
    Require(code != DetectedCode::kEuc && code != DetectedCode::kJis,
            "AutoToShiftJis converts what DetectKanjiCode calls EUC or JIS", detail);
  } else if (code == DetectedCode::kEuc) {
    Require(automatic == euc, "AutoToShiftJis on EUC equals EucToShiftJis", detail);
  } else {
    Require(code == DetectedCode::kJis && automatic == jis,
            "AutoToShiftJis on JIS equals JisToShiftJis", detail);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckConverters(input);
  CheckLineEnds(input);
  // The pipeline's order: code conversion, then line ends.
  std::string text(input);
  (void)AutoToShiftJis(text);
  (void)NormalizeLineEnds(text);
  Require(text.find('\r') == std::string::npos, "no CR after code conversion and line ends",
          fuzz::Hex(input));
  return 0;
}
