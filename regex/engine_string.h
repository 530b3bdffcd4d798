// EngineString, the engine's growable byte string with an optional skip table,
// and the literal searches (FindLiteral, FindBytes) built on it, together with
// the Shift-JIS position test that both searches and the matcher use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/byte_search.h"

namespace ostrevin::regex {

// A byte string that may hold 0x00 bytes: `length` says where it ends. The
// storage always holds one 0x00 after the bytes; with kSkipTableValid the
// 256-byte skip table follows that 0x00. Every allocation failure is raised as
// EngineError("lack of memory") and leaves the previous storage in place.
class EngineString {
 public:
  // Bits of `flags`: the low byte is the kind (0 plain, 8 prepared for search).
  static constexpr std::uint32_t kKindMask = 0xFF;
  static constexpr std::uint32_t kSearchKind = 8;
  static constexpr std::uint32_t kSkipTableValid = 0x80000000u;
  static constexpr std::uint32_t kSkipTableFolded = 0x40000000u;
  // The literal can only stand at the end of the text or before a final LF.
  static constexpr std::uint32_t kTailAnchored = 0x20000000u;

  EngineString() = default;
  EngineString(const EngineString&) = delete;
  EngineString& operator=(const EngineString&) = delete;

  [[nodiscard]] const char* data() const { return data_.get(); }
  [[nodiscard]] char* data() { return data_.get(); }
  [[nodiscard]] std::int32_t length() const { return length_; }
  [[nodiscard]] std::int32_t capacity() const { return capacity_; }
  // The 256 entries of the skip table; only valid with kSkipTableValid.
  [[nodiscard]] const std::uint8_t* skip_table() const {
    return reinterpret_cast<const std::uint8_t*>(data_.get()) + length_ + 1;
  }

  std::uint32_t flags = 0;
  // How often the string paid off as a must literal (the matcher's counter).
  std::int32_t usefulness = 0;

 private:
  friend void EngineStringReserve(EngineString& string, std::int32_t size);
  friend void EngineStringAssign(EngineString& string, const char* bytes, std::int32_t n);
  friend std::int32_t EngineStringAppend(EngineString& string, const char* bytes, std::int32_t n);
  friend void EngineStringCopy(EngineString& target, const EngineString& source);
  friend void BuildSkipTable(EngineString& string, bool folded);

  std::unique_ptr<char[]> data_;
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
};

// A new plain string holding n bytes (n == 0: the bytes up to their first 0x00).
[[nodiscard]] std::unique_ptr<EngineString> EngineStringNew(const char* bytes, std::int32_t n);
// Storage of size + 512 bytes holding the current bytes and a 0x00.
void EngineStringReserve(EngineString& string, std::int32_t size);
// Replaces the bytes; the flags keep their bits.
void EngineStringAssign(EngineString& string, const char* bytes, std::int32_t n);
// Appends n bytes; returns the new length.
std::int32_t EngineStringAppend(EngineString& string, const char* bytes, std::int32_t n);
// Copies bytes, length and flags word (and the table, when valid).
void EngineStringCopy(EngineString& target, const EngineString& source);
// Makes the kind byte 8 (OR).
void SetSearchKind(EngineString& string);
// Builds the skip table for strings shorter than 256 bytes; nothing otherwise.
void BuildSkipTable(EngineString& string, bool folded);

// 0: the byte at `position` is a single-byte character, 1: a lead byte, 2: the
// trail byte of a double-byte character, judged by the lead bytes directly
// before it (back to `text_start`). Null arguments give 0.
[[nodiscard]] int ShiftJisPositionType(const char* text_start, const char* position);

// ShiftJisPositionType for many positions of one text. It remembers the last
// run of lead-range bytes it counted and extends it forwards, so that
// positions that move along (or back and forth inside) a long run of lead
// bytes cost O(1) each instead of a rescan of the run.
class ShiftJisPositions {
 public:
  explicit ShiftJisPositions(const char* text_start) : base_(text_start) {}
  // ShiftJisPositionType(text_start, position); position >= text_start.
  [[nodiscard]] int TypeAt(const char* position);
  // Start of the character that ends just before `position` (> text_start).
  [[nodiscard]] const char* PreviousCharacter(const char* position);

 private:
  const char* base_;
  const char* run_begin_ = nullptr;  // [run_begin_, run_end_) are lead-range bytes,
  const char* run_end_ = nullptr;    // and the byte before run_begin_ is not (or is base_)
};

// First occurrence of [literal_start, literal_end) in [text_start, text_end),
// or null. In Shift-JIS mode no hit starts on a trail byte. An empty literal
// is found at the text start.
[[nodiscard]] const char* FindBytes(const char* text_start, const char* text_end,
                                    const char* literal_start, const char* literal_end,
                                    bool shift_jis);

// FindBytes through `search`, made for the literal over a text that begins at
// `base` (<= text_start) and ends at text_end, so that a caller that looks
// in the same text again and again (moving forwards) makes one search.
[[nodiscard]] const char* FindBytesWith(ByteSearch& search, const char* base,
                                        const char* text_start, const char* text_end,
                                        std::size_t literal_length, bool shift_jis);

// First occurrence of a prepared literal (skip table, folding, tail anchoring)
// in [text_start, text_end), or null. Falls back to FindBytes when the literal
// has no skip table. In Shift-JIS mode no hit starts on a trail byte; in byte
// mode every byte position counts, as it does for the matcher, so that a
// required literal never rules out a match the matcher would find.
[[nodiscard]] const char* FindLiteral(const char* text_start, const char* text_end,
                                      const EngineString& literal, bool multi_line, bool shift_jis);

}  // namespace ostrevin::regex
