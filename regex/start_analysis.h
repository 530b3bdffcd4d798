// Start-of-match analysis: the facts the matcher uses to rule out start
// positions (start literal or start class, anchoring, skipping runs, and the
// literal every match contains).
#pragma once

#include <cstdint>

#include "regex/pattern_record.h"

namespace ostrevin::regex {

// Reads record.program and fills startLiteral, startClass, mustLiteral,
// mustOffset and startFlags. `flags` is the flags word in force at the end of
// compilation; `multi_line` the "m" bit of the caller's flags word. Raises
// EngineError("lack of memory") when a string cannot be built.
void AnalyseStartFacts(PatternRecord& record, std::uint32_t flags, bool back_reference_seen,
                       bool multi_line, bool shift_jis);

// Fills classTables (one 256-entry membership table per CHAR_CLASS node) and
// firstBytes/hasFirstBytes (the bytes every match begins with, when a match
// must consume at least one byte).
void AnalyseFirstBytes(PatternRecord& record, bool shift_jis);

// Fills byteRun when every match is one greedy run of bytes from a set (see
// PatternRecord::ByteRun). Needs classTables, startFlags and foldCase.
void AnalyseByteRun(PatternRecord& record);

}  // namespace ostrevin::regex
