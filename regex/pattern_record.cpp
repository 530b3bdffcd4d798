// PatternRecord's construction and release: the members it owns are complete
// types here, so destroying a record releases all of them.
#include "regex/pattern_record.h"

#include "regex/substitution.h"
#include "regex/transliteration.h"

namespace ostrevin::regex {

PatternRecord::PatternRecord() = default;
PatternRecord::~PatternRecord() = default;

}  // namespace ostrevin::regex
