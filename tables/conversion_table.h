// Conversion tables: loading a table file (simple replacements or pattern
// commands), decoding its escapes, and applying it to one text.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host.h"

namespace ostrevin {

// An ordered list of entries, each a pair of byte strings: in simple mode a
// search string and its replacement; in pattern mode a command line, whole
// and undecoded, with an empty replacement. No field holds a NUL byte.
//
// All fields lie back to back in one byte buffer; `ends_` holds where each
// ends, two per entry, so entry i's search string runs from ends_[2i-1] (0
// for the first) to ends_[2i] and its replacement from there to ends_[2i+1].
// A table of a hundred thousand short lines thus costs its bytes plus sixteen
// per entry, where two string objects would cost sixty-four, and the loader
// builds the buffer inside the file's own content.
class ConversionTable {
 public:
  ConversionTable() = default;
  // Takes over storage that a loader filled: `ends` holds two offsets per
  // entry, never decreasing, the last no greater than `bytes.size()`.
  // Throws std::invalid_argument otherwise, and when a field holds a NUL byte.
  ConversionTable(std::string bytes, std::vector<std::size_t> ends);

  [[nodiscard]] std::size_t size() const { return ends_.size() / 2; }
  [[nodiscard]] bool empty() const { return ends_.empty(); }
  void Clear();

  // Appends an entry (simple mode) or a command (pattern mode). A NUL byte
  // ends a field there, as it does in a table file.
  void Add(std::string_view search, std::string_view replacement);
  void AddCommand(std::string_view command) { Add(command, {}); }

  // The fields of entry i (i < size()); views into the table, valid until it
  // changes.
  [[nodiscard]] std::string_view Search(std::size_t i) const { return Field(2 * i); }
  [[nodiscard]] std::string_view Replacement(std::size_t i) const { return Field(2 * i + 1); }
  [[nodiscard]] std::string_view Command(std::size_t i) const { return Search(i); }

 private:
  [[nodiscard]] std::string_view Field(std::size_t k) const {
    const std::size_t begin = k == 0 ? 0 : ends_[k - 1];
    return std::string_view(bytes_).substr(begin, ends_[k] - begin);
  }

  std::string bytes_;
  std::vector<std::size_t> ends_;
};

// Brings a table file's text (read whole, up to its 0x1A mark) into Shift-JIS
// in place. Returns nothing when the text can be used, or the reason it
// cannot, a message line for the person.
using TableTextToShiftJis = std::function<std::optional<std::string>(std::string& text)>;

// Fills `table` from the file at `path` (file system bytes). The table is
// emptied first, also when the load fails.
//  - Empty path: returns false, shows nothing.
//  - A file that cannot be opened, or a path that is not a regular file:
//    shows "変換テーブルファイルをオープンできません。(Error:%lu)\n変換テーブルを
//    通さずに処理を続行します。" through `host` and returns false.
//  - A file holding a NUL byte (before its 0x1A end mark): shows
//    "変換テーブルにNULバイトが含まれています。\n変換テーブルを通さずに処理を続行
//    します。" and returns false.
//  - A text that `to_shift_jis` (when given) refuses: shows its reason,
//    then "\n変換テーブルを通さずに処理を続行します。", and returns false.
//  - A read failure after opening throws FileError (it ends the run).
// The file is read as text: lines end at LF, a CR right before the LF is
// dropped with it, and a 0x1A byte ends the file. Lines whose first byte is '#' are
// comments. In simple mode each other line is split at TABs into a search
// string and a replacement, each decoded by UnescapeTableField; in pattern
// mode each other line is stored whole.
[[nodiscard]] bool LoadConversionTable(const std::string& path, bool pattern_mode,
                                       ConversionTable& table, Host& host,
                                       const TableTextToShiftJis& to_shift_jis = {});

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
// The same over `length` bytes at `field`; returns the decoded length.
[[nodiscard]] std::size_t UnescapeTableField(char* field, std::size_t length);

// Replaces every non-overlapping occurrence of `search` in `text`, found by
// stepping whole Shift-JIS characters from left to right (a trail byte never
// starts a match), and returns how many were replaced. An empty search string
// replaces nothing. Linear in the text: inserted text is never searched again,
// and the text is reallocated at most once. `search` and `replacement` must
// not point into `text`.
[[nodiscard]] std::size_t ReplaceAll(std::string& text, std::string_view search,
                                     std::string_view replacement);
// The same, building a longer text in `scratch` and swapping it in: `scratch`
// then holds the former text, and a caller that replaces many times passes
// the same one to each call so that its memory is allocated once.
[[nodiscard]] std::size_t ReplaceAll(std::string& text, std::string_view search,
                                     std::string_view replacement, std::string& scratch);

// Applies `table` to `text` in place: `reg_exp` 0 runs the simple mode (every
// entry in table order, empty search strings skipped); any other value runs
// the pattern-command mode. Sets `changed` to true when the text was changed
// and never clears it (it is the pipeline's per-file change flag). Returns
// false only when the pattern mode stopped at a faulty command.
bool ApplyConversionTable(std::string& text, const ConversionTable& table, int reg_exp, Host& host,
                          bool& changed);

}  // namespace ostrevin
