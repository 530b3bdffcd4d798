// The search for patterns that are one greedy run of bytes from a set
// (PatternRecord::ByteRun): no interpreter and no start-position scan; the
// text is read as bit masks of 64 member bytes, each kept for the searches
// that start in its block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "regex/pattern_record.h"

namespace ostrevin::regex {

class ByteRunSearch {
 public:
  // Searches of the record's ByteRun pattern in the text [text_begin,
  // text_end); the record must have one.
  ByteRunSearch(PatternRecord& record, const char* text_begin, const char* text_end);

  // The leftmost match starting at or after `from`, as MatchPattern finds it
  // when the search begins at `from`: the first run of member bytes at least
  // `minimum` long, taken whole, starting where «^» holds when the pattern
  // begins with it (without multi-line only at `from`, as the anchored scan
  // tries). On a match every group (0 included) spans the run and the
  // record's subjectBegin/subjectEnd are set; otherwise nothing changes.
  [[nodiscard]] bool Find(const char* from);

 private:
  // The first position at or after p whose byte is a member (`want` true) or
  // not (false); the end when there is none.
  [[nodiscard]] const char* Next(const char* p, bool want);
  // Bit i set when begin_[block + i] is a member.
  [[nodiscard]] std::uint64_t MaskAt(std::size_t block) const;

  PatternRecord& record_;
  const PatternRecord::ByteRun& run_;
  const char* begin_;
  const char* end_;
  bool multi_line_;
  std::size_t block_ = static_cast<std::size_t>(-1);  // offset of the block in `mask_`
  std::uint64_t mask_ = 0;
};

}  // namespace ostrevin::regex
