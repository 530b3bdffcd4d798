// Conversion tables: loading a table file (simple replacements or pattern
// commands), decoding its escapes, and applying it to one text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/host.h"

namespace ostrevin {

// Two ordered lists of byte strings. In simple mode `search[i]` is replaced by
// `replacements[i]` (both lists have the same length); in pattern mode
// `search` holds the command lines, whole and undecoded, and `replacements`
// stays empty. No entry holds a NUL byte.
struct ConversionTable {
  std::vector<std::string> search;
  std::vector<std::string> replacements;

  void Clear() {
    search.clear();
    replacements.clear();
  }
};

// Fills `table` from the file at `path` (file system bytes). The table is
// emptied first, also when the load fails.
//  - Empty path: returns false, shows nothing.
//  - A file that cannot be opened, or a path that is not a regular file:
//    shows "変換テーブルファイルをオープンできません。(Error:%lu)\n変換テーブルを
//    通さずに処理を続行します。" through `host` and returns false.
//  - A read failure after opening throws FileError (it ends the run).
// The file is read as text: lines end at LF, a CR right before the LF is
// dropped with it, a 0x1A byte ends the file, and a line ends at a NUL byte
// (the rest of that line is dropped). Lines whose first byte is '#' are
// comments. In simple mode each other line is split at TABs into a search
// string and a replacement, each decoded by UnescapeTableField; in pattern
// mode each other line is stored whole.
[[nodiscard]] bool LoadConversionTable(const std::string& path, bool pattern_mode,
                                       ConversionTable& table, Host& host);

// Decodes the escapes of one table field in place: \n \t \\ \# \xHH (\X too).
// The result is never longer than the input. Malformed escapes shorten the
// field rather than fail:
//  - a lone backslash at the end is dropped;
//  - \x (or \X) without two hexadecimal digits ends the field at the backslash;
//  - a backslash followed by any other byte drops both bytes;
//  - \x00 ends the field there (an entry never holds a NUL byte);
//  - a backslash that is the trail byte of a Shift-JIS character (表 0x95 0x5C)
//    is an ordinary byte.
void UnescapeTableField(std::string& field);

// Replaces every non-overlapping occurrence of `search` in `text`, found by
// stepping whole Shift-JIS characters from left to right (a trail byte never
// starts a match), and returns how many were replaced. An empty search string
// replaces nothing. Linear in the text: inserted text is never searched again,
// and the text is reallocated at most once. `search` and `replacement` must
// not point into `text`.
[[nodiscard]] std::size_t ReplaceAll(std::string& text, std::string_view search,
                                     std::string_view replacement);

// Applies `table` to `text` in place: `reg_exp` 0 runs the simple mode (every
// entry in table order, empty search strings skipped); any other value runs
// the pattern-command mode. Sets `changed` to true when the text was changed
// and never clears it (it is the pipeline's per-file change flag). Returns
// false only when the pattern mode stopped at a faulty command.
bool ApplyConversionTable(std::string& text, const ConversionTable& table, int reg_exp, Host& host,
                          bool& changed);

}  // namespace ostrevin
