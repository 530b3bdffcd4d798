// Finding a byte string in a text at memory speed: sixteen or thirty-two
// positions at a time are tested on the needle's first and last bytes, and
// only the positions that pass are compared whole. Where near misses would
// make that quadratic, the search goes on with Knuth-Morris-Pratt, so that
// it stays linear in the text whatever the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrevin {

class ByteSearch {
 public:
  // Returned by Find when no occurrence is left.
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // `text` and `needle` must outlive the search; `needle` is not empty.
  ByteSearch(std::string_view text, std::string_view needle);

  // The position of the first occurrence (overlapping ones included) that
  // starts at or after `from`, or kNone. Calls with non-decreasing `from`
  // read each byte of the text a bounded number of times, all together.
  [[nodiscard]] std::size_t Find(std::size_t from);

 private:
  // Returned by the filter when comparing candidates that failed cost more
  // than the bytes passed (a needle such as "aaaaXa" in a run of "a" makes
  // every position a candidate). Every occurrence before resume_ has been
  // reported.
  static constexpr std::size_t kGaveUp = static_cast<std::size_t>(-2);

  // The filter: the first occurrence at or after `from`, kNone or kGaveUp.
  [[nodiscard]] std::size_t Filter(std::size_t from);
  // Knuth-Morris-Pratt from `from`, carrying its state from call to call.
  [[nodiscard]] std::size_t FindLinear(std::size_t from);
  // Whether the candidate at `p` (first and last bytes already equal) is an
  // occurrence; counts the bytes compared.
  [[nodiscard]] bool Matches(std::size_t p);
  [[nodiscard]] bool OverBudget(std::size_t p) const { return compared_ > p + kSlack; }
  // The candidates at base + i for each bit i of `hits`, in order: the first
  // occurrence among them, kGaveUp, or kNone.
  [[nodiscard]] std::size_t Candidates(std::size_t base, std::uint32_t hits);
  // Filter blocks from p while a whole block fits before `last`, the last
  // possible start; return the first occurrence or kGaveUp, or kNone with p
  // at the first position not filtered.
  [[nodiscard]] std::size_t ScanWide(std::size_t& p, std::size_t last);
  [[nodiscard]] std::size_t ScanNarrow(std::size_t& p, std::size_t last);

  // Comparisons allowed beyond one per byte passed: enough that a short text
  // full of near misses still takes the fast path.
  static constexpr std::size_t kSlack = 256;

  std::string_view text_;
  std::string_view needle_;
  std::size_t compared_ = 0;
  std::size_t resume_ = 0;
  bool wide_ = false;  // the processor has AVX2
  bool gave_up_ = false;
  // Knuth-Morris-Pratt, once the filter gave up: border_[q] is the length of
  // the longest proper prefix of needle[0..q] that is also its suffix;
  // `matched_` bytes of the needle end just before text position `at_`.
  std::vector<std::size_t> border_;
  std::size_t at_ = 0;
  std::size_t matched_ = 0;
  std::size_t last_from_ = 0;
  // The occurrence the last call returned (kNone when it found none): the
  // state has moved past it, yet it is still the answer for any `from` up to
  // it.
  std::size_t last_found_ = kNone;
};

}  // namespace ostrevin
