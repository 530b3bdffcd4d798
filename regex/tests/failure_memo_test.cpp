// The failure memo's bits: nothing is kept before the search has failed
// often, and the search for the last open position below a held one agrees
// with a position-by-position reference across word boundaries.
#include "regex/failure_memo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace ostrevin::regex {
namespace {

constexpr std::int32_t kPositions = 300;

// A memo over kPositions positions whose first repeat holds `held` (the
// failures that bring it into use go to the second repeat).
FailureMemo MemoHolding(const std::set<std::int32_t>& held) {
  FailureMemo memo(2, kPositions);
  while (!memo.InUse()) memo.Add(1, 0);
  for (const std::int32_t pos : held) memo.Add(0, pos);
  return memo;
}

std::int32_t SlowLastOpen(const std::set<std::int32_t>& held, std::int32_t pos,
                          std::int32_t floor) {
  for (std::int32_t q = pos; q >= floor; --q) {
    if (held.count(q) == 0) return q;
  }
  return -1;
}

TEST(FailureMemoTest, KeepsNothingBeforeManyFailures) {
  FailureMemo memo(1, kPositions);
  memo.Add(0, 5);
  EXPECT_FALSE(memo.InUse());
  EXPECT_FALSE(memo.Holds(0, 5));
}

TEST(FailureMemoTest, LastOpenPositionMatchesTheReference) {
  struct Row {
    std::set<std::int32_t> held;
    std::int32_t pos, floor;
  };
  std::set<std::int32_t> run;  // 40..200, across three word boundaries
  for (std::int32_t q = 40; q <= 200; ++q) run.insert(q);
  std::set<std::int32_t> gap = run;
  gap.erase(64);
  gap.erase(127);
  const std::vector<Row> rows = {
      {run, 200, 0},   {run, 200, 40}, {run, 200, 41}, {run, 63, 40},   {run, 64, 64},
      {run, 128, 100}, {gap, 200, 0},  {gap, 126, 0},  {gap, 127, 127}, {gap, 63, 50},
      {{}, 70, 3},     {{0}, 0, 0},    {run, 39, 0},   {gap, 200, 128},
  };
  for (const Row& r : rows) {
    const FailureMemo memo = MemoHolding(r.held);
    EXPECT_EQ(memo.LastOpenAtOrBelow(0, r.pos, r.floor), SlowLastOpen(r.held, r.pos, r.floor))
        << "from " << r.pos << " down to " << r.floor;
    for (const std::int32_t q : r.held) EXPECT_TRUE(memo.Holds(0, q));
  }
}

}  // namespace
}  // namespace ostrevin::regex
