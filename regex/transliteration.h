// Transliteration ("tr" commands): expansion of the two character lists, the
// pair table that maps search characters to replacement codes, and the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrevin::regex {

struct PatternRecord;

// Character codes: a single byte is its value 0x00-0xFF; a double-byte
// character is lead * 256 + trail. Two values are never codes and mark what
// happens to a matched character.
inline constexpr std::uint16_t kKeepCode = 0xFFFF;    // stays unchanged; also the terminator
inline constexpr std::uint16_t kDeleteCode = 0xFFFE;  // is dropped from the output

// (from, to) pairs, one per character of the expanded search list in list
// order, ended by (0xFFFF, 0xFFFF). A repeated search character has a pair each
// time; the first pair wins. Beside the pairs the table keeps a direct index
// from a code to the to code of its first pair, so that a run costs one lookup
// per text character instead of a scan of the pairs.
class TranslationPairTable {
 public:
  // wide: codes may be double-byte ("k" mode); else every code is below 0x100.
  explicit TranslationPairTable(bool wide);

  void Append(std::uint16_t from, std::uint16_t to);
  // Appends the terminator; no pair may be appended afterwards.
  void Finish();

  // The pairs as laid out: from, to, from, to, ..., 0xFFFF, 0xFFFF.
  [[nodiscard]] std::span<const std::uint16_t> Pairs() const { return pairs_; }
  // The to code of the first pair whose from code is `code`, if any.
  [[nodiscard]] std::optional<std::uint16_t> Find(std::uint16_t code) const;

 private:
  static constexpr std::uint32_t kAbsent = 0x10000;
  std::vector<std::uint16_t> pairs_;
  std::vector<std::uint32_t> index_;  // code -> to code, or kAbsent
};

// The value of the escape that starts after a backslash, and how many list
// bytes after the backslash it takes. `after` is the byte after the backslash
// and lies before `end`.
struct ListEscape {
  std::uint8_t value;
  std::size_t consumed;
};
[[nodiscard]] ListEscape DecodeListEscape(const char* after, const char* end);

// Resolves the escapes and ranges of one list. A double-byte character is
// stored as its two bytes, lead first. The result may contain 0x00 bytes.
[[nodiscard]] std::string ExpandCharacterList(std::string_view list);

// Builds the pair table from the written search and replacement lists under
// the flags word ("k", "d"). An empty search list gives no table.
[[nodiscard]] std::optional<TranslationPairTable> BuildTranslationTable(
    std::string_view search, std::string_view replacement, std::uint32_t flags);

struct TranslationOutput {
  std::string text;
  std::int32_t count = 0;  // matched characters, deleted and squeezed ones included
};

// Runs the table over `text` under the flags word ("k", "c", "d", "s").
[[nodiscard]] TranslationOutput TranslateText(const TranslationPairTable& table,
                                              std::uint32_t flags, std::string_view text);

// Record-level entry points used by the command interface.
//
// CompileTranslation returns a new transliteration record, or null: with no
// message for an empty search list, with "out of space trcomp" when the record
// cannot be allocated, and "lack of memory" when a list cannot be expanded.
[[nodiscard]] PatternRecord* CompileTranslation(const char* search_start, const char* search_end,
                                                const char* replacement_start,
                                                const char* replacement_end, std::uint32_t flags,
                                                char* message);
// Translates [text_start, text_end) into the record's result text; returns the
// count. An empty range gives 0 and no result text. Raises the engine's
// failure when memory runs out.
[[nodiscard]] std::int32_t RunTranslation(PatternRecord& record, const char* text_start,
                                          const char* text_end);

}  // namespace ostrevin::regex
