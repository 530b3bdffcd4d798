// The matcher's backtracking stacks: frames that say what to do when a
// nested run returns, capture saves and complex-repeat frames. A record keeps
// their storage between matches so that a run allocates only when it grows.
#pragma once

#include <cstdint>
#include <vector>

namespace ostrevin::regex {

enum class FrameKind : std::uint8_t {
  kAlternation,         // node: the ALTERNATIVE being tried; a: last closed group
  kLookahead,           // node: the lookahead; flag: the parent's lazy flag
  kSimpleGreedy,        // node: repeat; a: k; b: minimum; c: byte offset of k
  kSimpleLazy,          // node: repeat; a: k; c: byte offset of k
  kComplexEnter,        // a: repeat frame
  kTailEmpty,           // a: repeat frame; b: outer frame's count
  kTailMinimum,         // a: repeat frame; b: n; c: previous last position; d: save index
  kLazyContinuation,    // a: repeat frame; b: n; c: outer frame's count; d: save index
  kLazyBody,            // a: repeat frame; b: n; c: save index; d: previous last position
  kGreedyBody,          // a: repeat frame; b: n; c: save index
  kGreedyContinuation,  // a: repeat frame; b: n; c: outer frame's count; d: previous last position
  kFastGreedy,          // node: REPEAT_COMPLEX; a: n; b: minimum; c: save; d: outer count
  kFastLazy,            // node: REPEAT_COMPLEX; a: n; c: byte offset of n; d: outer count
  kFixedGreedy,         // as kFastGreedy, for a fixed-width body with groups
  kFixedLazy,           // as kFastLazy; b: save
  kGroupReopened,       // a: group; b, c: its start and end before it opened again
};

// Frames are kept small (offsets instead of pointers): a deep run holds one
// or two per iteration of a complex repeat.
struct Frame {
  std::int32_t node;  // offset in the program, -1 for none
  std::int32_t pos;   // offset from the subject start of the position the frame returns to
  std::int32_t a, b, c, d;
  FrameKind kind;
  bool flag;
};

struct RepeatFrame {
  std::int32_t floor;  // last closed group when the repetition began
  std::int32_t count;  // iterations completed before the current one
  std::int32_t minimum;
  std::int32_t maximum;  // REPEAT_UNBOUNDED: no limit
  bool lazy;
  const std::uint8_t* body;
  const std::uint8_t* continuation;
  const char* last_position;
  std::int32_t outer;  // -1 for the outermost frame
  std::int32_t memo;   // index of the repeat's failure memo, -1 none
};

struct MatchStacks {
  std::vector<Frame> frames;
  std::vector<std::int32_t> saves;
  std::vector<RepeatFrame> repeats;
};

}  // namespace ostrevin::regex
