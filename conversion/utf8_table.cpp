// Utf8TableToShiftJis.
#include "conversion/utf8_table.h"

#include <string_view>

#include "conversion/kanji_code.h"
#include "conversion/utf8_to_shift_jis.h"

namespace ostrevin {
namespace {

// A problem's message opens with the file it is about; for a table that file
// is the table file.
constexpr std::string_view kSourceFile = "変換元ファイル";
constexpr std::string_view kTableFile = "変換テーブルファイル";

}  // namespace

std::optional<std::string> Utf8TableToShiftJis(std::string& text) {
  if (DetectKanjiCode(text) != DetectedCode::kUtf8) return std::nullopt;
  const CodeConversion converted = Utf8ToShiftJis(text);
  if (!converted.problem) return std::nullopt;
  std::string reason = ConversionProblemMessage(*converted.problem);
  if (reason.starts_with(kSourceFile)) reason.replace(0, kSourceFile.size(), kTableFile);
  return reason;
}

}  // namespace ostrevin
