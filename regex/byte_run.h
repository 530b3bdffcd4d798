// The search for patterns that are one greedy run of bytes from a set
// (PatternRecord::ByteRun): no interpreter, no start-position scan, sixteen
// bytes tested at a time.
#pragma once

#include <cstdint>

#include "regex/pattern_record.h"

namespace ostrevin::regex {

// The leftmost match of the record's ByteRun pattern in [start, end): the
// first run of member bytes at least `minimum` long, taken whole, starting
// where «^» holds when the pattern begins with it. `previous` is the
// matcher's character before `start`; without multi-line a line-start
// pattern is tried only at `start`, as the anchored scan does. On success
// every group (0 included) spans the run.
[[nodiscard]] bool FindByteRun(PatternRecord& record, const char* start, const char* end,
                               std::uint8_t previous, bool multi_line);

}  // namespace ostrevin::regex
