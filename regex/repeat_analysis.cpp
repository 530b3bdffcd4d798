// Repeat analysis: one walk over each complex repeat's body for its width and
// one walk along what follows it for the memo.
#include "regex/repeat_analysis.h"

#include "regex/program.h"

namespace ostrevin::regex {
namespace {

using enum NodeKind;
using RepeatShape = PatternRecord::RepeatShape;

constexpr std::int32_t kVaries = -1;
// Alternations nested deeper than this inside a body are not measured (the
// matcher walks fixed-width bodies recursively, one level per alternation).
constexpr int kMaxAlternationDepth = 32;
// A walk along the nodes after a repeat stops after this many nodes.
constexpr int kMaxWalk = 100000;

// True when a class can only match one byte in Shift-JIS mode: not negated
// and no code above 0xFF. A lead byte followed by a trail byte is then a code
// the class does not hold, so the class never takes two bytes.
bool ClassTakesOneByte(const std::uint8_t* node) {
  if (node[3] == CLASS_NEGATED) return false;
  const std::uint8_t* p = node + 4;
  while (*p != CLASS_END) {
    if (*p == CLASS_SINGLE) {
      if (p[1] != 0) return false;
      p += 3;
    } else if (*p == CLASS_RANGE) {
      if (p[3] != 0) return false;
      p += 5;
    } else {
      ++p;
    }
  }
  return true;
}

// Bytes a node that is neither an alternative nor a group takes, or kVaries.
std::int32_t NodeWidth(const std::uint8_t* node, bool shift_jis) {
  if (IsPositionTestKind(KindOf(node))) return 0;
  switch (KindOf(node)) {
    case LITERAL_RUN:
      return LiteralLength(node);
    case WORD_CHAR:
    case SPACE_CHAR:
    case DIGIT_CHAR:
      return 1;
    case CHAR_CLASS:
      return !shift_jis || ClassTakesOneByte(node) ? 1 : kVaries;
    case ANY_BUT_NEWLINE:
    case ANY_CHAR:
    case NON_WORD_CHAR:
    case NON_SPACE_CHAR:
    case NON_DIGIT_CHAR:
      // In Shift-JIS mode these take a double-byte character whole.
      return shift_jis ? kVaries : 1;
    case EMPTY:
      return 0;
    default:
      // Repeats, back-references, lookaheads: their width is not fixed (a
      // lookahead's is, but its body is left to the general road).
      return kVaries;
  }
}

// The node after the last alternative of the alternation that starts at
// `alternative`: where every branch of it joins.
const std::uint8_t* JoinOf(const std::uint8_t* alternative) {
  const std::uint8_t* last = alternative;
  for (const std::uint8_t* next = NextNode(last); next != nullptr && KindOf(next) == ALTERNATIVE;
       next = NextNode(last)) {
    last = next;
  }
  return NextNode(last);
}

// Width of the sequence from `node` up to `stop`, or kVaries. Groups count
// only outside every alternation of the body (depth 0): inside one, a branch
// that does not hold the group would leave it as an earlier iteration set it.
std::int32_t SequenceWidth(const std::uint8_t* node, const std::uint8_t* stop, int depth,
                           std::int32_t at, bool shift_jis,
                           std::vector<RepeatShape::GroupSpan>& groups) {
  const std::int32_t begin = at;
  while (node != stop) {
    if (node == nullptr) return kVaries;
    const NodeKind kind = KindOf(node);
    if (kind == ALTERNATIVE) {
      if (depth >= kMaxAlternationDepth) return kVaries;
      const std::uint8_t* join = JoinOf(node);
      std::int32_t width = kVaries;
      for (const std::uint8_t* a = node; a != join; a = NextNode(a)) {
        const std::int32_t w =
            SequenceWidth(GovernedNode(a), join, depth + 1, at, shift_jis, groups);
        if (w == kVaries || (width != kVaries && w != width)) return kVaries;
        width = w;
      }
      at += width;
      node = join;
      continue;
    }
    if (kind == GROUP_OPEN || kind == GROUP_CLOSE) {
      if (depth > 0) return kVaries;
      const std::int32_t group = ArgumentOf(node);
      if (kind == GROUP_OPEN) {
        groups.push_back({group, at, at});
      } else {
        for (auto& span : groups) {
          if (span.group == group) span.close = at;
        }
      }
    } else {
      const std::int32_t w = NodeWidth(node, shift_jis);
      if (w == kVaries) return kVaries;
      at += w;
    }
    node = NextNode(node);
  }
  return at - begin;
}

// True when what follows the repeat runs up to the end of the pattern or of
// a lookahead without passing through the tail of an enclosing repeat: then
// it depends on the position alone. An enclosing repeat's tail depends on
// that repeat's count and on where its iteration began.
bool FollowersDependOnPositionOnly(const std::uint8_t* repeat) {
  const std::uint8_t* node = NextNode(repeat);
  for (int i = 0; node != nullptr && i < kMaxWalk; ++i) {
    const NodeKind kind = KindOf(node);
    if (kind == PROGRAM_END || kind == LOOKAHEAD_END) return true;
    if (kind == REPEAT_COMPLEX_TAIL) return false;
    node = NextNode(node);
  }
  return false;
}

}  // namespace

// The memo remembers, for a repeat and a position, that "one more iteration
// from here, else the rest of the pattern" failed, and fails a second arrival
// there at once. That is sound only where the outcome depends on nothing but
// the position:
// - back-references: what they match depends on the captures, so a pattern
//   with one has no memo at all;
// - captures otherwise only record where groups matched: they never decide
//   whether the rest matches, and the memo only cuts roads that fail;
// - the iteration minimum: the matcher asks only once the count has reached
//   it, and an unbounded maximum is never reached, so the count no longer
//   matters then; bounded repeats have no memo;
// - lazy repeats try the rest first and then one more iteration, greedy ones
//   the other way round: both fail only when both roads failed, the same fact;
// - an iteration that matched the empty string goes straight to the rest: a
//   failure there is implied by the remembered one, and only failures after
//   both roads are remembered;
// - lookaheads: a lookahead's result depends on the position alone; a repeat
//   inside one is judged up to the lookahead's end, which is where its
//   failures stop;
// - Shift-JIS mode: whether a byte is a lead or a trail byte follows from the
//   text before it, which is the same on every road to the position;
// - a repeat inside another complex repeat: what follows it passes through
//   the outer repeat's count and iteration start, so it has no memo.
void AnalyseRepeats(PatternRecord& record, bool back_reference_seen, bool shift_jis) {
  record.repeatShapes.clear();
  record.memoRepeats = 0;
  const std::uint8_t* program = record.program.data();
  ForEachNode(record.program, [&](std::size_t at) {
    const std::uint8_t* node = program + at;
    if (KindOf(node) != REPEAT_COMPLEX) return;
    RepeatShape shape{static_cast<std::int32_t>(at), 0, -1, {}};
    const std::uint8_t* continuation = NextNode(node);
    if (continuation == nullptr || IsSingleNodeBody(node)) {
      record.repeatShapes.push_back(shape);
      return;
    }
    // The body ends at the REPEAT_COMPLEX_TAIL right before the continuation.
    const std::int32_t width =
        SequenceWidth(GovernedNode(node), continuation - 4, 0, 0, shift_jis, shape.groups);
    if (width > 0) {
      shape.width = width;
    } else {
      shape.groups.clear();
      if (!back_reference_seen && RepeatMaxOf(node) == REPEAT_UNBOUNDED &&
          FollowersDependOnPositionOnly(node)) {
        shape.memo = record.memoRepeats++;
      }
    }
    record.repeatShapes.push_back(std::move(shape));
  });
}

}  // namespace ostrevin::regex
