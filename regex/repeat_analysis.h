// Repeat analysis: for each complex repeat, whether every iteration of its
// body takes the same number of bytes (and where its groups lie inside one),
// and whether a failure after it depends on nothing but the text position.
#pragma once

#include "regex/pattern_record.h"

namespace ostrevin::regex {

// Reads record.program and fills repeatShapes and memoRepeats.
void AnalyseRepeats(PatternRecord& record, bool back_reference_seen, bool shift_jis);

}  // namespace ostrevin::regex
