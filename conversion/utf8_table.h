// Conversion tables written in UTF-8: brought into Shift-JIS when they are
// loaded, so that they match the Shift-JIS texts they are applied to.
#pragma once

#include <optional>
#include <string>

namespace ostrevin {

// A table text that DetectKanjiCode finds to be UTF-8 becomes code page 932
// in place, its BOM dropped; any other text is left as it is (tables are
// expected in Shift-JIS, and a table in another legacy code is the user's own
// business). Returns the reason when a UTF-8 table cannot be converted
// exactly, worded as for a source file but naming the table file, e.g.
// "変換テーブルファイルの 2 行目に、シフトJISで表せない文字 U+20AC (€)
// があるため、変換できません。"; the text is then left as it was. Fits LoadConversionTable's
// TableTextToShiftJis.
[[nodiscard]] std::optional<std::string> Utf8TableToShiftJis(std::string& text);

}  // namespace ostrevin
