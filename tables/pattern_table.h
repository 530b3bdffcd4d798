// Pattern-command table mode: each table line run as an "s" command through
// PatternExecute or a "tr" command through PatternTranslate.
#pragma once

#include <string>
#include <string_view>

#include "core/host.h"
#include "tables/conversion_table.h"

namespace ostrevin {

// The message for the first faulty command of a file: the engine's message,
// then the command as code page 932 shown in UTF-8.
inline constexpr std::string_view kPatternTableError =
    "%s: %s\n変換テーブルを通さずに処理を続行します。";
// The engine's place in that message for a line that is neither "s" nor "tr".
inline constexpr std::string_view kNotSubstituteOrTranslate = "do not start 's' or 'tr'";

// Runs the commands of `table` in order over `text`, each over the text as the ones before
// left it. Each command is compiled afresh and its record released right after
// it, so nothing carries over to the next command or the next file.
//  - An empty text has nothing to change: no command runs, true is returned.
//  - A command shorter than two bytes is skipped silently.
//  - "s..." runs through PatternExecute, "tr..." through PatternTranslate;
//    anything else fails with kNotSubstituteOrTranslate.
//  - A positive count replaces the text by the engine's result (its length
//    is resultEnd - resultStart; no result text means the empty text) and
//    sets `changed`.
//  - A negative count without a message (an empty pattern, "tr///") changes
//    nothing, and the next command runs.
//  - The first command that leaves a message is shown once through `host`
//    with kPatternTableError (a command longer than 200 bytes cut there, at
//    a character boundary, with "…"), caption "エラー", and the table stops:
//    returns false, keeping what earlier commands did.
//  - A result text that holds a NUL byte is kept as it is, `changed` is set
//    and the table stops there (returns false): the text is no longer one the
//    engine may be given, and the pipeline refuses such a text.
// Returns true when every command ran.
bool ApplyPatternTable(std::string& text, const ConversionTable& table, Host& host, bool& changed);

}  // namespace ostrevin
