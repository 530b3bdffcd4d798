// The matcher's failure memo: one bit per (complex repeat, text position)
// saying that, from the repeat's tail at that position, both one more
// iteration and the rest of the pattern have failed, so that a second arrival
// fails at once. Which repeats may have one is decided by the repeat analysis
// (regex/repeat_analysis.cpp, where the reasons are written down).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace ostrevin::regex {

class FailureMemo {
 public:
  // `repeats`: repeats with a memo index; `positions`: text positions of the
  // search (its length + 1).
  FailureMemo(std::int32_t repeats, std::int64_t positions)
      : repeats_(repeats),
        positions_(positions),
        threshold_(kFailuresPerPosition * positions + kFailuresBase),
        budget_bytes_(std::max<std::int64_t>(positions, kMinBudgetBytes)) {}

  [[nodiscard]] bool InUse() const { return !maps_.empty(); }
  [[nodiscard]] bool Holds(std::int32_t memo, std::int32_t pos) const {
    if (maps_.empty()) return false;
    const std::vector<std::uint64_t>& map = maps_[static_cast<std::size_t>(memo)];
    return !map.empty() && ((map[Word(pos)] >> (pos & 63)) & 1) != 0;
  }

  // The last position in [floor, pos] the memo does not hold for `memo`, or
  // -1 when it holds them all: a back-off over positions that fail at once
  // jumps over them a word at a time.
  [[nodiscard]] std::int32_t LastOpenAtOrBelow(std::int32_t memo, std::int32_t pos,
                                               std::int32_t floor) const {
    const std::vector<std::uint64_t>& map = maps_[static_cast<std::size_t>(memo)];
    if (map.empty()) return pos;
    std::int64_t q = pos;
    while (q >= floor) {
      const std::size_t word = Word(static_cast<std::int32_t>(q));
      const int bit = static_cast<int>(q & 63);
      const std::uint64_t below = bit == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << bit) - 1;
      const std::uint64_t open = ~map[word] & below;
      if (open != 0) {
        q = static_cast<std::int64_t>(word) * 64 + 63 - std::countl_zero(open);
        return q >= floor ? static_cast<std::int32_t>(q) : -1;
      }
      q = static_cast<std::int64_t>(word) * 64 - 1;
    }
    return -1;
  }

  // Records a failure. Nothing is kept until a search has had more such
  // failures than a small multiple of its positions: a search that fails
  // from each position a few times gains nothing from the memo and should
  // not pay for its bits. Past that, a map is made for each repeat that
  // fails, as long as all the maps together stay within the budget (as many
  // bytes as the text has, so that the bits add at most one text's worth).
  void Add(std::int32_t memo, std::int32_t pos) {
    if (maps_.empty()) {
      if (++failures_ < threshold_) return;
      maps_.resize(static_cast<std::size_t>(repeats_));
    }
    std::vector<std::uint64_t>& map = maps_[static_cast<std::size_t>(memo)];
    if (map.empty()) {
      const std::int64_t words = (positions_ + 63) / 64;
      if (used_bytes_ + words * 8 > budget_bytes_) return;
      used_bytes_ += words * 8;
      map.assign(static_cast<std::size_t>(words), 0);
    }
    map[Word(pos)] |= std::uint64_t{1} << (pos & 63);
  }

 private:
  static constexpr std::int64_t kFailuresPerPosition = 2;
  static constexpr std::int64_t kFailuresBase = 1024;
  static constexpr std::int64_t kMinBudgetBytes = std::int64_t{1} << 20;

  static std::size_t Word(std::int32_t pos) { return static_cast<std::size_t>(pos) >> 6; }

  std::int32_t repeats_;
  std::int64_t positions_;
  std::int64_t threshold_;
  std::int64_t budget_bytes_;
  std::int64_t failures_ = 0;
  std::int64_t used_bytes_ = 0;
  std::vector<std::vector<std::uint64_t>> maps_;
};

}  // namespace ostrevin::regex
