// The regular-expression engine as its callers see it: the three entry points
// over pattern commands ("m/.../", "s/.../.../", "tr/.../.../" with flag
// letters) and PatternSlot, an owning record slot for C++ callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "regex/engine_error.h"

namespace ostrevin::regex {

struct PatternRecord;

// Runs a match ("m" or "/") or substitution ("s") command over the text
// [text_start, text_end); text_end points at the text's terminating NUL and
// the text holds no NUL before it. `slot` holds a record or null; the call may
// replace it (a record is reused while the same command text is given again;
// an empty or null command reuses the record in the slot). `message` is a
// buffer of kMessageBufferSize bytes, emptied on entry.
// Returns: match: 1 found, 0 none; substitution: the number of replacements
// (0 also when the run failed, with a message); -1 on any other failure, with
// a message or, for an empty pattern or a "tr" command, without one.
[[nodiscard]] std::int32_t PatternExecute(const char* command, const char* text_start,
                                          const char* text_end, PatternRecord** slot,
                                          char* message);

// Runs a transliteration ("tr") command; the count of matched characters, or
// -1 on failure ("no translate parameter" for an "m" or "s" command, whose
// record is then released and the slot cleared).
[[nodiscard]] std::int32_t PatternTranslate(const char* command, const char* text_start,
                                            const char* text_end, PatternRecord** slot,
                                            char* message);

// Releases a record with everything it owns; null is ignored. The caller
// clears its slot afterwards.
void PatternFree(PatternRecord* record);

// What one run through a PatternSlot gave.
struct PatternResult {
  std::int32_t count = 0;  // the entry point's return value
  std::string message;     // empty unless the engine wrote one
  // The record's result text: group 1 after a match, the new text after a
  // substitution or transliteration; empty when there is none. Valid until
  // the next run through the slot.
  std::string_view text;
};

// Byte offsets of a group in the text of the last run.
struct GroupSpan {
  std::size_t begin;
  std::size_t end;
};

// A record slot that frees its record. Each run copies the text so that it is
// NUL-terminated, as the entry points need.
class PatternSlot {
 public:
  PatternSlot() = default;
  ~PatternSlot();
  PatternSlot(const PatternSlot&) = delete;
  PatternSlot& operator=(const PatternSlot&) = delete;
  PatternSlot(PatternSlot&& other) noexcept;
  PatternSlot& operator=(PatternSlot&& other) noexcept;

  // A "tr" command runs through PatternTranslate, every other command
  // through PatternExecute.
  [[nodiscard]] PatternResult Run(std::string_view command, std::string_view text);
  [[nodiscard]] PatternResult Execute(std::string_view command, std::string_view text);
  [[nodiscard]] PatternResult Translate(std::string_view command, std::string_view text);

  // After a successful match: the number of capturing groups, and where group
  // i (0 = the whole match) lies, or nothing when it did not take part.
  [[nodiscard]] int GroupCount() const;
  [[nodiscard]] std::optional<GroupSpan> Group(int i) const;

  [[nodiscard]] PatternRecord* record() const { return record_; }
  // Releases the record; the slot is empty afterwards.
  void Reset();

 private:
  using EntryPoint = std::int32_t (*)(const char*, const char*, const char*, PatternRecord**,
                                      char*);
  PatternResult RunEntry(EntryPoint entry, std::string_view command, std::string_view text);

  PatternRecord* record_ = nullptr;
  std::string command_;
  std::string text_;
};

}  // namespace ostrevin::regex
