// The pattern compiler: turns the pattern of an "m" or "s" command into the
// byte code of regex/program.h with a sizing and an emitting pass, and fills a
// new PatternRecord (start-of-match facts included).
#pragma once

#include <cstdint>
#include <memory>

#include "regex/pattern_record.h"

namespace ostrevin::regex {

// Compiles [pattern_start, pattern_end) under `flags`. The message buffer
// (kMessageBufferSize bytes) is emptied on entry.
// On success: a new record; `flags` is replaced by the flags in force at the
// end of compilation (inline modifiers added), while the record's `flags`
// keeps the word as passed. An empty pattern gives a record with
// patternLength 0 and no program.
// On failure: null, the message in the buffer, `flags` unchanged.
[[nodiscard]] std::unique_ptr<PatternRecord> CompilePattern(const char* pattern_start,
                                                            const char* pattern_end,
                                                            std::uint32_t& flags, char* message);

}  // namespace ostrevin::regex
