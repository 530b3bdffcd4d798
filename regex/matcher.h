// The matcher: finds the leftmost match of a compiled pattern in a byte range
// and records the whole match and the capturing groups in the record.
#pragma once

#include <cstdint>

#include "regex/pattern_record.h"

namespace ostrevin::regex {

// Searches [text_start, text_end) (text_end points at the text's NUL; no NUL
// before it). `text_begin` (<= text_start) is the start of the caller's whole
// text. A match must end at or after text_start + min_end_offset.
// Returns 1 on a match: groupStart/groupEnd hold the match (entry 0) and the
// groups that took part, subjectBegin = text_begin, subjectEnd = text_end,
// all positions in the caller's text. Returns 0 when there is none, or on a
// failure with the message in the buffer (emptied on entry). A null record or
// text start gives 0 without a message. The run never grows the call stack
// with the subject; when its backtracking exceeds the engine's limit it ends
// with 0 and "regexp stack overflow", and when its work passes a budget that
// grows with the text (exponential backtracking) with 0 and "regexp too
// complex for text".
[[nodiscard]] int MatchPattern(PatternRecord* record, const char* text_start, const char* text_end,
                               const char* text_begin, std::int32_t min_end_offset, char* message);

// Drops the record's folded copy of the subject. Under "i" MatchPattern folds
// the whole [text_begin, text_end) once and reuses the copy for later calls
// over the same text; the entry points call this at the start of every run
// (the caller's buffer may hold a different text at the same address).
void ReleaseRunCache(PatternRecord& record);

}  // namespace ostrevin::regex
