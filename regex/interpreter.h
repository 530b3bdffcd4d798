// The backtracking interpreter of the node program: one attempt at a given
// start position, keeping its backtracking state on heap stacks so that the
// call stack never grows with the subject.
//
// It follows the recursive definition of the node kinds: a node that needs a
// nested run (an alternative, a lookahead, the continuation of a repeat, a
// complex repeat step) pushes a Frame saying what to do when that nested run
// returns, and the nested run starts. A run returns success (it reached
// PROGRAM_END or LOOKAHEAD_END) or failure; the result is handed to the
// frames from the top down until one of them starts another run.
//
// Included only by the matcher's driver (matcher.cpp), which calls TryAt in
// its start-position loops. Everything here has internal linkage, as if it
// were written in that file: the compiler then inlines the functions that
// have a single caller (the interpreter loop into TryAt) whatever their size,
// which it does not do for functions it must also emit for other files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/shift_jis.h"
#include "regex/engine_error.h"
#include "regex/engine_string.h"
#include "regex/failure_memo.h"
#include "regex/match_stacks.h"
#include "regex/pattern_record.h"
#include "regex/program.h"

namespace ostrevin::regex {
// NOLINTNEXTLINE(cert-dcl59-cpp,google-build-namespaces): private to matcher.cpp, see above
namespace {

using enum NodeKind;

// Bytes of frames and capture saves one run may hold: as many as the text
// has bytes, but at least the floor, so that the whole run (text, result and
// stacks, whose growth may briefly hold twice their size) stays within a few
// times the text on long texts while short ones can still backtrack deeply.
constexpr std::size_t kStackFloorBytes = std::size_t{96} << 20;
constexpr const char* kStackOverflow = "regexp stack overflow";

// Work budget of one MatchPattern call: kStepBase + kStepsPerByte steps per
// byte of the subject. A step is one backtracking step (each failure handed
// back to a pending alternative, repeat back-off or continuation); the bytes
// a repeat runs over forwards, and the positions it backs over without a try,
// count too, kBytesPerStep of them a step (each costs a fraction of a step's
// time), so that every way a search can spend its time is counted. The budget is a last resort for
// what is still exponential («(a*)*\1x» on a subject that almost matches): the start-position rules
// keep ordinary searches linear, a few steps per byte, far below the allowance per byte even on 64
// MiB. A step takes some ten nanoseconds, so that a search over a 1 MiB line that has to be refused
// is refused within a few seconds; the base (under a second) is what short subjects get, and what
// lets work quadratic in a line of a few KiB finish. Fuzzing builds give a smaller budget so that
// exponential inputs, which the fuzzer finds often, end in a fraction of a second under its
// instrumentation.
#ifdef OSTREVIN_SMALL_STEP_BUDGET
constexpr std::int64_t kStepBase = 2'000'000;
constexpr std::int64_t kStepsPerByte = 16;
#else
constexpr std::int64_t kStepBase = 50'000'000;
constexpr std::int64_t kStepsPerByte = 256;
#endif
constexpr std::int64_t kBytesPerStep = 8;  // the budget is counted in these bytes
constexpr const char* kTooComplex = "regexp too complex for text";

[[noreturn, gnu::cold, gnu::noinline]] void ThrowTooComplex() { throw EngineError(kTooComplex); }

bool IsWordByte(std::uint8_t b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_';
}
bool IsSpaceByte(std::uint8_t b) { return b == ' ' || (b >= 0x09 && b <= 0x0D); }
bool IsDigitByte(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool IsLead(std::uint8_t b) { return sjis::IsLeadByte(b); }
std::uint8_t Byte(const char* p) { return static_cast<std::uint8_t>(*p); }

struct Activation {
  const std::uint8_t* node;
  const char* input;
  bool lazy;
};

enum class Step { kFail = 0, kSucceed = 1, kCall = 2 };

using RepeatShape = PatternRecord::RepeatShape;

bool Unbounded(std::int32_t maximum) { return maximum == REPEAT_UNBOUNDED; }

class Interpreter {
 public:
  Interpreter(PatternRecord& record, const char* subject_start, const char* subject_end,
              std::uint8_t previous, bool multi_line, bool shift_jis)
      : record_(record),
        program_(record.program.data()),
        start_(subject_start),
        end_(subject_end),
        previous_(previous),
        multi_line_(multi_line),
        shift_jis_(shift_jis),
        group_count_(record.groupCount),
        starts_(record.groupStart.data()),
        ends_(record.groupEnd.data()),
        frames_(record.matchStacks.frames),
        saves_(record.matchStacks.saves),
        repeats_(record.matchStacks.repeats),
        cursor_(subject_start),
        memo_(record.memoRepeats, subject_end - subject_start + 1) {}

  void SetMinimumEnd(const char* minimum_end) { minimum_end_ = minimum_end; }

  // TryMatchAt: one attempt with the match starting at p.
  bool TryAt(const char* p) {
    record_.lastClosedGroup = 0;
    highest_opened_ = 0;
    for (std::int32_t g = 0; g <= group_count_; ++g) starts_[g] = ends_[g] = nullptr;
    frames_.clear();
    saves_.clear();
    repeats_.clear();
    current_repeat_ = kOutermost;
    outermost_count_ = 0;
    lookaheads_ = 0;
    if (!Run(Activation{program_ + 1, p, false})) return false;
    if (match_end_ < minimum_end_) return false;
    starts_[0] = p;
    ends_[0] = match_end_;
    return true;
  }

 private:
  // --- the interpreter loop ----------------------------------------------
  // Every failure handed back to a frame is one backtracking step of the
  // budget, counted in a local (in repeat bytes) and written back when the
  // run ends; the bytes the repeats ran over (charged_) are taken from it
  // after each stretch of interpretation.
  bool Run(Activation act) {
    std::int64_t left = steps_left_;
    for (;;) {
      Step step = Interpret(act);
      for (;;) {
        if (charged_ != 0) {
          left -= charged_;
          charged_ = 0;
          if (left < 0) [[unlikely]]
            left = GrantSteps(left);
        }
        if (step == Step::kCall) break;
        if (frames_.empty() || (step == Step::kSucceed && lookaheads_ == 0)) {
          // Nothing above can catch a success but a lookahead.
          steps_left_ = left;
          return step == Step::kSucceed;
        }
        if (step == Step::kFail && (left -= kBytesPerStep) < 0) [[unlikely]]
          left = GrantSteps(left);
        step = Resume(step == Step::kSucceed, act);
      }
    }
  }

  // The budget is granted the first time the count goes below zero (a search
  // that does little work needs none); the next time the search ends. Kept
  // out of line and out of the constructor, which is inlined into the
  // start-position scans, so that their loops keep their registers.
  [[gnu::cold, gnu::noinline]] std::int64_t GrantSteps(std::int64_t left) {
    if (!budget_granted_) {
      budget_granted_ = true;
      left += (kStepBase + kStepsPerByte * (end_ - start_)) * kBytesPerStep;
    }
    if (left < 0) ThrowTooComplex();
    return left;
  }

  Frame MakeFrame(const std::uint8_t* node, const char* pos, std::int32_t a, std::int32_t b,
                  std::int32_t c, std::int32_t d, FrameKind kind, bool flag) const {
    return Frame{node == nullptr ? -1 : static_cast<std::int32_t>(node - program_),
                 static_cast<std::int32_t>(pos - start_),
                 a,
                 b,
                 c,
                 d,
                 kind,
                 flag};
  }
  const std::uint8_t* NodeOf(const Frame& f) const {
    return f.node < 0 ? nullptr : program_ + f.node;
  }
  const char* PosOf(const Frame& f) const { return start_ + f.pos; }

  // Ends the run with a message rather than let its stacks grow without bound.
  void CheckRoom(std::size_t more_bytes) const {
    const std::size_t used = frames_.size() * sizeof(Frame) + saves_.size() * sizeof(std::int32_t) +
                             repeats_.size() * sizeof(RepeatFrame);
    if (used + more_bytes > kStackFloorBytes) [[unlikely]]
      CheckRoomForLongText(used + more_bytes);
  }
  [[gnu::cold, gnu::noinline]] void CheckRoomForLongText(std::size_t needed) const {
    if (needed > static_cast<std::size_t>(end_ - start_)) throw EngineError(kStackOverflow);
  }
  void Push(const Frame& frame) {
    CheckRoom(sizeof(Frame));
    frames_.push_back(frame);
  }

  // Enters an alternation of two or more alternatives at the input: the
  // first alternative that may start there runs, with a choice point only
  // when a later one may start there too, so that a long run of alternations
  // holds no frame per iteration for alternatives that differ in their first
  // byte. Out of line, to keep the interpreter loop's registers.
  [[gnu::noinline]] Step EnterAlternation(const std::uint8_t* node, Activation& act) {
    const char* in = act.input;
    const std::uint8_t* first = node;
    while (!MayStartAt(first, in)) {
      first = NextAlternative(first);
      if (first == nullptr) return Step::kFail;
    }
    if (NextAlternativeAt(first, in) == nullptr) {
      act.node = GovernedNode(first);
      return Step::kCall;  // no frame: the run goes on from there
    }
    Push(MakeFrame(first, in, record_.lastClosedGroup, 0, 0, 0, FrameKind::kAlternation, false));
    act = Activation{GovernedNode(first), in, false};
    return Step::kCall;
  }

  // True when the repeat iteration that starts here saved group n before
  // its body began: its failure restores the group, so the group needs no
  // frame of its own (the common case of a group that is a repeat's body).
  bool SavedByIteration(std::int32_t n, const char* in) const {
    if (frames_.empty()) return false;
    const Frame& top = frames_.back();
    if (top.kind != FrameKind::kGreedyBody && top.kind != FrameKind::kLazyBody &&
        top.kind != FrameKind::kTailMinimum) {
      return false;
    }
    return PosOf(top) == in && n > repeats_[static_cast<std::size_t>(top.a)].floor;
  }

  // The alternative after `alternative` in its alternation, or null.
  static const std::uint8_t* NextAlternative(const std::uint8_t* alternative) {
    const std::uint8_t* next = NextNode(alternative);
    return next != nullptr && KindOf(next) == ALTERNATIVE ? next : nullptr;
  }
  // False when the alternative cannot match at p because it starts with a
  // literal whose first byte is not there.
  bool MayStartAt(const std::uint8_t* alternative, const char* p) const {
    const std::uint8_t* first = GovernedNode(alternative);
    if (KindOf(first) != LITERAL_RUN || LiteralLength(first) == 0) return true;
    return p < end_ && Byte(p) == LiteralBytes(first)[0];
  }
  // The first alternative after `alternative` that may start at p, or null.
  const std::uint8_t* NextAlternativeAt(const std::uint8_t* alternative, const char* p) const {
    const std::uint8_t* next = NextAlternative(alternative);
    while (next != nullptr && !MayStartAt(next, p)) next = NextAlternative(next);
    return next;
  }

  // Moves one character on: two bytes for a lead byte followed by a non-NUL
  // byte in Shift-JIS mode.
  const char* AdvanceCharacter(const char* p) const {
    if (shift_jis_ && IsLead(Byte(p)) && p + 1 < end_ && p[1] != '\0') return p + 2;
    return p + 1;
  }
  // The compiler's membership table of a CHAR_CLASS node for codes below
  // 0x100, or null.
  const std::uint8_t* ClassTableFor(const std::uint8_t* node) const {
    const std::int32_t offset = static_cast<std::int32_t>(node - program_);
    for (const auto& table : record_.classTables) {
      if (table.offset == offset) return table.member.data();
    }
    return nullptr;
  }
  std::uint16_t CodeAt(const char* p) const {
    if (shift_jis_ && IsLead(Byte(p)) && p + 1 < end_ && p[1] != '\0') {
      return static_cast<std::uint16_t>((Byte(p) << 8) | Byte(p + 1));
    }
    return Byte(p);
  }
  std::uint8_t ByteBefore(const char* p) const { return p == start_ ? previous_ : Byte(p - 1); }
  std::uint8_t ByteAt(const char* p) const { return p < end_ ? Byte(p) : 0; }

  // One character node at p: the position after it, or null.
  const char* MatchOne(const std::uint8_t* node, const char* p) const {
    if (p >= end_) return nullptr;
    const std::uint8_t b = Byte(p);
    switch (KindOf(node)) {
      case ANY_BUT_NEWLINE:
        return b == '\n' ? nullptr : AdvanceCharacter(p);
      case ANY_CHAR:
        return AdvanceCharacter(p);
      case CHAR_CLASS: {
        const std::uint16_t code = CodeAt(p);
        if (code < 256) {
          const std::uint8_t* table = ClassTableFor(node);
          if (table != nullptr) return table[code] != 0 ? p + 1 : nullptr;
        }
        return ClassContains(code, node) ? AdvanceCharacter(p) : nullptr;
      }
      case WORD_CHAR:
        return IsWordByte(b) ? p + 1 : nullptr;
      case NON_WORD_CHAR:
        return IsWordByte(b) ? nullptr : AdvanceCharacter(p);
      case SPACE_CHAR:
        return IsSpaceByte(b) ? p + 1 : nullptr;
      case NON_SPACE_CHAR:
        return IsSpaceByte(b) ? nullptr : AdvanceCharacter(p);
      case DIGIT_CHAR:
        return IsDigitByte(b) ? p + 1 : nullptr;
      case NON_DIGIT_CHAR:
        return IsDigitByte(b) ? nullptr : AdvanceCharacter(p);
      case LITERAL_RUN: {
        const int n = LiteralLength(node);
        if (end_ - p < n || std::memcmp(p, LiteralBytes(node), static_cast<std::size_t>(n)) != 0) {
          return nullptr;
        }
        return p + n;
      }
      default:
        return nullptr;
    }
  }

  Step Interpret(Activation& act) {
    for (;;) {
      const std::uint8_t* node = act.node;
      if (node == nullptr) throw EngineError("corrupted regexp pointers");
      if (node[0] > kMaxNodeKind) throw EngineError("regexp memory corruption");
      const std::uint8_t* next = NextNode(node);
      const char* in = act.input;
      switch (KindOf(node)) {
        case PROGRAM_END:
          match_end_ = in;
          return Step::kSucceed;
        case LINE_START:
        case MULTILINE_START:
        case TEXT_START:
        case LINE_END:
        case MULTILINE_END:
        case TEXT_END:
        case WORD_BOUNDARY:
        case NON_WORD_BOUNDARY:
        case SEARCH_START:
          if (!AssertionHolds(KindOf(node), in)) return Step::kFail;
          break;
        case ANY_BUT_NEWLINE:
        case ANY_CHAR:
        case CHAR_CLASS:
        case WORD_CHAR:
        case NON_WORD_CHAR:
        case SPACE_CHAR:
        case NON_SPACE_CHAR:
        case DIGIT_CHAR:
        case NON_DIGIT_CHAR:
        case LITERAL_RUN: {
          const char* after = MatchOne(node, in);
          if (after == nullptr) {
            // An empty run matches anywhere, also at the end.
            if (KindOf(node) == LITERAL_RUN && LiteralLength(node) == 0) break;
            return Step::kFail;
          }
          act.input = after;
          break;
        }
        case REPEAT_SIMPLE:
        case STAR_SIMPLE:
        case PLUS_SIMPLE:
          return StartSimpleRepeat(node, act);
        case REPEAT_COMPLEX:
          return StartComplexRepeat(node, act);
        case ALTERNATIVE:
          if (next == nullptr || KindOf(next) != ALTERNATIVE) {
            act.node = GovernedNode(node);
            continue;
          }
          return EnterAlternation(node, act);
        case RESERVED_NOOP:
        case EMPTY:
          break;
        case BACK_REFERENCE: {
          const std::int32_t n = ArgumentOf(node);
          // A group the pattern does not have never matches.
          if (n > group_count_) return Step::kFail;
          const char* gs = starts_[n];
          const char* ge = ends_[n];
          if (gs == nullptr || ge == nullptr || ge < gs) return Step::kFail;
          const std::ptrdiff_t length = ge - gs;
          if (length > 0) {
            if (end_ - in < length || std::memcmp(in, gs, static_cast<std::size_t>(length)) != 0) {
              return Step::kFail;
            }
            act.input = in + length;
          }
          break;
        }
        case GROUP_OPEN: {
          const std::int32_t n = ArgumentOf(node);
          if (n > highest_opened_) highest_opened_ = n;
          if (ends_[n] != nullptr && starts_[n] != in && !SavedByIteration(n, in)) {
            // The group matched before (an earlier iteration): should this
            // attempt at it fail, the match it had comes back whole, so that
            // a failed start or end never pairs with the earlier one.
            Push(MakeFrame(nullptr, in, n, Offset(starts_[n]), Offset(ends_[n]), 0,
                           FrameKind::kGroupReopened, false));
            starts_[n] = in;
            act = Activation{next, in, act.lazy};
            return Step::kCall;
          }
          starts_[n] = in;
          break;
        }
        case GROUP_CLOSE: {
          const std::int32_t n = ArgumentOf(node);
          ends_[n] = in;
          if (n > record_.lastClosedGroup) record_.lastClosedGroup = n;
          break;
        }
        case LAZY_NEXT:
          act.lazy = true;
          break;
        case LOOKAHEAD:
        case NEGATIVE_LOOKAHEAD:
          Push(MakeFrame(node, in, 0, 0, 0, 0, FrameKind::kLookahead, act.lazy));
          ++lookaheads_;
          act = Activation{GovernedNode(node), in, false};
          return Step::kCall;
        case LOOKAHEAD_END:
          return Step::kSucceed;
        case REPEAT_COMPLEX_TAIL:
          return Tail(act);
      }
      if (next == nullptr) throw EngineError("corrupted regexp pointers");
      act.node = next;
    }
  }

  // The zero-width nodes that test the position: whether they hold at `in`.
  bool AssertionHolds(NodeKind kind, const char* in) const {
    switch (kind) {
      case LINE_START:
      case MULTILINE_START:
        return in == start_ ? previous_ == '\n' : in < end_ && in[-1] == '\n';
      case TEXT_START:
        return in == start_ && previous_ == '\n';
      case LINE_END:
        return multi_line_ ? AtMultiLineEnd(in) : AtTextEnd(in);
      case MULTILINE_END:
        return AtMultiLineEnd(in);
      case TEXT_END:
        return AtTextEnd(in);
      case WORD_BOUNDARY:
      case NON_WORD_BOUNDARY:
        return (IsWordByte(ByteBefore(in)) != IsWordByte(ByteAt(in))) == (kind == WORD_BOUNDARY);
      case SEARCH_START:
        return in == start_;
      default:
        return true;
    }
  }

  bool AtMultiLineEnd(const char* in) const { return in >= end_ || *in == '\n'; }
  bool AtTextEnd(const char* in) const { return in >= end_ || (*in == '\n' && in + 1 == end_); }

  // --- simple repetition --------------------------------------------------
  // In Shift-JIS mode \W, \S and \D count characters, so that their counts
  // and back-off steps follow character boundaries.
  bool CountsCharacters(const std::uint8_t* operand) const {
    if (!shift_jis_) return false;
    const NodeKind kind = KindOf(operand);
    return kind == NON_WORD_CHAR || kind == NON_SPACE_CHAR || kind == NON_DIGIT_CHAR;
  }

  // RepeatSimple: consumes up to `maximum` repetitions from p; returns the
  // count and moves p past them.
  std::int32_t RepeatSimple(const std::uint8_t* operand, std::int32_t maximum, const char*& p) {
    const bool characters = CountsCharacters(operand);
    if (!characters && Unbounded(maximum)) {
      if (const char* end = KnownRunEnd(operand, p)) {
        const auto count = static_cast<std::int32_t>(end - p);
        p = end;
        return count;
      }
    }
    const char* limit = end_;
    if (!characters && !Unbounded(maximum) && maximum < end_ - p) limit = p + maximum;
    const char* joined = !characters && Unbounded(maximum) ? KnownRunStart(operand, p) : nullptr;
    if (joined != nullptr) limit = joined;
    const char* q = p;
    std::int32_t count = 0;
    switch (KindOf(operand)) {
      case LITERAL_RUN: {
        const char b = static_cast<char>(LiteralBytes(operand)[0]);
        while (q < limit && *q == b) ++q;
        break;
      }
      case WORD_CHAR:
        while (q < limit && IsWordByte(Byte(q))) ++q;
        break;
      case SPACE_CHAR:
        while (q < limit && IsSpaceByte(Byte(q))) ++q;
        break;
      case DIGIT_CHAR:
        while (q < limit && IsDigitByte(Byte(q))) ++q;
        break;
      case NON_WORD_CHAR:
      case NON_SPACE_CHAR:
      case NON_DIGIT_CHAR:
        while (q < limit && (!characters || Unbounded(maximum) || count < maximum)) {
          const char* after = MatchOne(operand, q);
          if (after == nullptr) break;
          q = after;
          ++count;
        }
        if (!characters) count = 0;
        break;
      default:
        break;
    }
    charged_ += q - p;  // the bytes looked at, not those of a known run
    if (joined != nullptr && q == joined) q = run_end_;
    if (!characters) count = static_cast<std::int32_t>(q - p);
    if (!characters && Unbounded(maximum)) RememberRun(operand, p, q);
    p = q;
    return count;
  }

  // First-byte hint: the continuation is tried only where its literal starts.
  static int HintOf(const std::uint8_t* successor) {
    if (successor != nullptr && KindOf(successor) == LITERAL_RUN && LiteralLength(successor) > 0) {
      return LiteralBytes(successor)[0];
    }
    return -1;
  }
  bool HintAllows(int hint, const char* p) const { return hint < 0 || ByteAt(p) == hint; }

  Step StartSimpleRepeat(const std::uint8_t* node, Activation& act) {
    std::int32_t minimum = 0;
    std::int32_t maximum = REPEAT_UNBOUNDED;
    if (KindOf(node) == REPEAT_SIMPLE) {
      minimum = ArgumentOf(node);
      maximum = RepeatMaxOf(node);
    } else if (KindOf(node) == PLUS_SIMPLE) {
      minimum = 1;
    }
    const std::uint8_t* operand = GovernedNode(node);
    const std::uint8_t* successor = NextNode(node);
    if (successor == nullptr) throw EngineError("corrupted regexp pointers");
    const char* start = act.input;
    const char* p = start;
    if (!act.lazy) {
      const std::int32_t n = RepeatSimple(operand, maximum, p);
      if (n > minimum && FamilyOf(successor) == 4 &&
          (!multi_line_ || KindOf(successor) == TEXT_END)) {
        minimum = n;  // before a line end only the longest run is tried
      } else if (n < minimum) {
        return Step::kFail;
      }
      Push(MakeFrame(node, start, n, minimum, static_cast<std::int32_t>(p - start), 1,
                     FrameKind::kSimpleGreedy, CountsCharacters(operand)));
      return NextSimpleGreedy(act);
    }
    if (minimum > 0 && RepeatSimple(operand, minimum, p) < minimum) return Step::kFail;
    Push(MakeFrame(node, start, minimum, 0, static_cast<std::int32_t>(p - start), 0,
                   FrameKind::kSimpleLazy, CountsCharacters(operand)));
    return TrySimpleLazy(act);
  }

  // Greedy back-off from k = a down to the minimum b; d = 1 while k = a has
  // not been tried yet; c is the byte offset of k from the repetition start.
  Step NextSimpleGreedy(Activation& act) {
    Frame& f = frames_.back();
    const std::uint8_t* successor = NextNode(NodeOf(f));
    const int hint = HintOf(successor);
    const std::int32_t memo = MemoAfter(successor);
    for (;;) {
      if (f.d == 0) {
        if (f.a <= f.b) break;
        ++charged_;  // a position backed over, tried or not
        f.a -= 1;
        f.c = f.flag
                  ? static_cast<std::int32_t>(cursor_.PreviousCharacter(PosOf(f) + f.c) - PosOf(f))
                  : f.a;
      }
      f.d = 0;
      const char* p = PosOf(f) + f.c;
      if (Remembered(memo, p)) {
        // Counted in bytes: go on from the last position left open.
        if (!f.flag) f.a = OpenBelow(memo, p, f.a, f.b);
        continue;
      }
      if (shift_jis_ && !f.flag && cursor_.TypeAt(p) == 2) continue;
      if (!HintAllows(hint, p)) continue;
      act = Activation{successor, p, false};
      return Step::kCall;
    }
    frames_.pop_back();
    return Step::kFail;
  }

  Step TrySimpleLazy(Activation& act) {
    Frame& f = frames_.back();
    const std::uint8_t* successor = NextNode(NodeOf(f));
    const std::uint8_t* operand = GovernedNode(NodeOf(f));
    const int hint = HintOf(successor);
    const std::int32_t memo = MemoAfter(successor);
    std::int32_t maximum =
        KindOf(NodeOf(f)) == REPEAT_SIMPLE ? RepeatMaxOf(NodeOf(f)) : REPEAT_UNBOUNDED;
    for (;;) {
      if (!Unbounded(maximum) && f.a > maximum) break;
      const char* p = PosOf(f) + f.c;
      if (f.b == 0) {  // b: this k has not been tried yet
        f.b = 1;
        const bool trail = shift_jis_ && !f.flag && cursor_.TypeAt(p) == 2;
        if (!trail && HintAllows(hint, p) && !Remembered(memo, p)) {
          act = Activation{successor, p, false};
          return Step::kCall;
        }
      }
      const char* q = p;
      if (RepeatSimple(operand, 1, q) == 0 && q == p) break;
      f.a += 1;
      f.c = f.flag ? static_cast<std::int32_t>(q - PosOf(f)) : f.a;
      f.b = 0;
    }
    frames_.pop_back();
    return Step::kFail;
  }

  // --- complex repetition -------------------------------------------------
  // Three roads: a body that is one node (IsSingleNodeBody) or whose every
  // iteration takes the same number of bytes is counted forwards and backed
  // off without a frame per iteration; any other body runs through the
  // repeat frames and REPEAT_COMPLEX_TAIL.
  Step StartComplexRepeat(const std::uint8_t* node, Activation& act) {
    const std::uint8_t* continuation = NextNode(node);
    if (continuation == nullptr) throw EngineError("corrupted regexp pointers");
    const std::int32_t minimum = ArgumentOf(node);
    const std::int32_t maximum = RepeatMaxOf(node);
    if (IsSingleNodeBody(node)) return StartFastRepeat(node, act, minimum, maximum, nullptr);
    const RepeatShape* shape = ShapeOf(node);
    if (shape != nullptr && shape->width > 0) {
      return StartFastRepeat(node, act, minimum, maximum, shape);
    }
    CheckRoom(sizeof(RepeatFrame));
    repeats_.push_back(RepeatFrame{record_.lastClosedGroup, -1, minimum, maximum, act.lazy,
                                   GovernedNode(node), continuation, nullptr, current_repeat_,
                                   shape != nullptr ? shape->memo : -1});
    current_repeat_ = static_cast<std::int32_t>(repeats_.size()) - 1;
    Push(MakeFrame(node, act.input, current_repeat_, 0, 0, 0, FrameKind::kComplexEnter, false));
    act = Activation{continuation - 4, act.input, false};
    return Step::kCall;
  }

  // The analysis of a REPEAT_COMPLEX node, or null.
  const RepeatShape* ShapeOf(const std::uint8_t* node) const {
    const std::int32_t offset = static_cast<std::int32_t>(node - program_);
    const auto& shapes = record_.repeatShapes;
    const auto it = std::lower_bound(
        shapes.begin(), shapes.end(), offset,
        [](const RepeatShape& shape, std::int32_t value) { return shape.offset < value; });
    return it != shapes.end() && it->offset == offset ? &*it : nullptr;
  }

  std::int32_t& OuterCount(std::int32_t frame) {
    return CountOf(repeats_[static_cast<std::size_t>(frame)].outer);
  }
  // The count of a repeat frame; the outermost frame is not stored.
  std::int32_t& CountOf(std::int32_t frame) {
    return frame == kOutermost ? outermost_count_ : repeats_[static_cast<std::size_t>(frame)].count;
  }

  Step Tail(Activation& act) {
    const std::int32_t fi = current_repeat_;
    if (fi < 0) throw EngineError("corrupted regexp pointers");
    RepeatFrame& f = repeats_[static_cast<std::size_t>(fi)];
    const std::int32_t n = f.count + 1;
    const char* in = act.input;
    // Both roads from here failed before (see repeat_analysis.cpp for why
    // the count and the road that led here do not matter past the minimum).
    if (n >= f.minimum && Remembered(f.memo, in)) return Step::kFail;
    // An iteration that matched the empty string ends the repetition, once
    // the minimum has been reached (before that the body runs again, so
    // that «(?:\b\S?){2}» still needs two iterations).
    if (in == f.last_position && n >= f.minimum) {
      const std::int32_t saved = OuterCount(fi);
      current_repeat_ = f.outer;
      Push(MakeFrame(nullptr, in, fi, saved, 0, 0, FrameKind::kTailEmpty, false));
      act = Activation{f.continuation, in, false};
      return Step::kCall;
    }
    // Every path that runs the body again saves the captures first: a failed
    // iteration must not leave its group starts behind for an earlier
    // iteration that backtracks and closes its group again.
    if (n < f.minimum) {
      const std::int32_t save = SaveCaptures(f.floor, in);
      const std::int32_t last = Offset(f.last_position);
      f.count = n;
      f.last_position = in;
      Push(MakeFrame(nullptr, in, fi, n, last, save, FrameKind::kTailMinimum, false));
      act = Activation{f.body, in, false};
      return Step::kCall;
    }
    if (f.lazy) {
      const std::int32_t save = SaveCaptures(f.floor, in);
      const std::int32_t saved = OuterCount(fi);
      current_repeat_ = f.outer;
      Push(MakeFrame(nullptr, in, fi, n, saved, save, FrameKind::kLazyContinuation, false));
      act = Activation{f.continuation, in, false};
      return Step::kCall;
    }
    if (Unbounded(f.maximum) || n < f.maximum) {
      const std::int32_t save = SaveCaptures(f.floor, in);
      const std::int32_t last = Offset(f.last_position);
      f.count = n;
      f.last_position = in;
      Push(MakeFrame(nullptr, in, fi, n, save, last, FrameKind::kGreedyBody, false));
      act = Activation{f.body, in, false};
      return Step::kCall;
    }
    return GreedyContinuation(fi, n, in, Offset(f.last_position), act, /*replace_top=*/false);
  }

  // `last` is the repeat's last position before this step (restored when the
  // step fails, so that a later iteration is not taken for an empty one).
  Step GreedyContinuation(std::int32_t fi, std::int32_t n, const char* in, std::int32_t last,
                          Activation& act, bool replace_top) {
    RepeatFrame& f = repeats_[static_cast<std::size_t>(fi)];
    const std::int32_t saved = OuterCount(fi);
    current_repeat_ = f.outer;
    const Frame frame =
        MakeFrame(nullptr, in, fi, n, saved, last, FrameKind::kGreedyContinuation, false);
    if (replace_top) {
      frames_.back() = frame;
    } else {
      Push(frame);
    }
    act = Activation{f.continuation, in, false};
    return Step::kCall;
  }

  // The memo of the repeat whose tail comes right after `successor` (past
  // group ends and empty nodes only), when its memo is in use and its count
  // has reached the minimum; else -1. A back-off to a position that memo
  // holds is passed over like one the hint rules out: the try would fail at
  // that tail at once.
  std::int32_t MemoAfter(const std::uint8_t* successor) const {
    if (!memo_.InUse() || current_repeat_ == kOutermost) return -1;
    const std::uint8_t* node = successor;
    while (node != nullptr && (KindOf(node) == GROUP_CLOSE || KindOf(node) == EMPTY)) {
      node = NextNode(node);
    }
    if (node == nullptr || KindOf(node) != REPEAT_COMPLEX_TAIL) return -1;
    const RepeatFrame& r = repeats_[static_cast<std::size_t>(current_repeat_)];
    return r.memo >= 0 && r.count + 1 >= r.minimum ? r.memo : -1;
  }
  bool Remembered(std::int32_t memo, const char* p) const {
    return memo >= 0 && memo_.Holds(memo, Offset(p));
  }
  // A back-off one byte per count, from `count` (ending at p, which the memo
  // holds) down to `minimum`: the count to go on from, one above that of the
  // last position the memo leaves open, so that the loop's next step back
  // lands there; `minimum` when the memo holds them all.
  std::int32_t OpenBelow(std::int32_t memo, const char* p, std::int32_t count,
                         std::int32_t minimum) const {
    const std::int32_t at = Offset(p);
    const std::int32_t open = memo_.LastOpenAtOrBelow(memo, at, at - (count - minimum));
    if (open < 0) return minimum;
    return count - (at - open) + 1;
  }

  // The end of the run of one-byte matches of `node` from p, when the last
  // run found covers p: such a run ends at the same place from every
  // position inside it. Kept only while the memo is in use, when nested
  // repeats start the same run again from each position of it.
  const char* KnownRunEnd(const std::uint8_t* node, const char* p) const {
    if (run_node_ != node || p < run_from_ || p > run_end_) return nullptr;
    return run_end_;
  }
  // Where a run of `node` from p may stop and take the known run's end: the
  // known run's start when p is before it.
  const char* KnownRunStart(const std::uint8_t* node, const char* p) const {
    return run_node_ == node && p < run_from_ ? run_from_ : nullptr;
  }
  void RememberRun(const std::uint8_t* node, const char* from, const char* end) {
    if (!memo_.InUse()) return;
    run_node_ = node;
    run_from_ = from;
    run_end_ = end;
  }

  // Called when both roads from the tail of repeat frame `fi` at `pos` have
  // failed: one more iteration, and the rest of the pattern.
  void RememberFailure(std::int32_t fi, std::int32_t pos) {
    const std::int32_t memo = repeats_[static_cast<std::size_t>(fi)].memo;
    if (memo >= 0) memo_.Add(memo, pos);
  }

  // Fast complex repeat: iterations are counted forwards; the continuation is
  // then tried from the longest count down (greedy) or from the minimum up
  // (lazy), with the same capture restoring as one frame per iteration.
  // `shape` is null for a one-node body; for a fixed-width body the groups
  // are set from the last iteration's start before each try.
  Step StartFastRepeat(const std::uint8_t* node, Activation& act, std::int32_t minimum,
                       std::int32_t maximum, const RepeatShape* shape) {
    const std::uint8_t* body = GovernedNode(node);
    const char* start = act.input;
    const std::int32_t outer_count = CountOf(current_repeat_);
    // A fixed-width body saves its groups too, also those an earlier
    // iteration of an enclosing repeat closed.
    std::int32_t floor = record_.lastClosedGroup;
    if (shape != nullptr && !shape->groups.empty()) {
      floor = std::min(floor, shape->groups.front().group - 1);
    }
    if (act.lazy) {
      const char* p = start;
      for (std::int32_t i = 0; i < minimum; ++i) {
        p = Iterate(node, body, p, shape);
        if (p == nullptr) return Step::kFail;
      }
      charged_ += p - start;
      const std::int32_t save = shape != nullptr ? SaveCaptures(floor, start) : -1;
      Push(MakeFrame(node, start, minimum, save, static_cast<std::int32_t>(p - start), outer_count,
                     shape != nullptr ? FrameKind::kFixedLazy : FrameKind::kFastLazy, true));
      return NextFastLazy(act, shape);
    }
    const char* p = start;
    std::int32_t n = 0;
    const std::uint8_t* table = nullptr;
    if (!shift_jis_ && KindOf(body) == CHAR_CLASS && shape == nullptr) table = ClassTableFor(body);
    // One byte per iteration without a limit: a run whose end is known.
    const bool bytewise = shape == nullptr && !shift_jis_ && Unbounded(maximum) &&
                          (KindOf(body) != LITERAL_RUN || LiteralLength(body) == 1);
    const char* joined = bytewise ? KnownRunStart(body, p) : nullptr;
    const char* known = bytewise ? KnownRunEnd(body, p) : nullptr;
    if (known != nullptr) {
      p = known;
    } else if (table != nullptr || (bytewise && KindOf(body) == ANY_BUT_NEWLINE)) {
      // One byte per iteration: run through the table, or to the line's end.
      const char* limit = end_;
      if (!Unbounded(maximum) && maximum < end_ - p) limit = p + maximum;
      if (joined != nullptr) limit = joined;
      if (table != nullptr) {
        while (p < limit && table[Byte(p)] != 0) ++p;
      } else {
        const void* line_feed = std::memchr(p, '\n', static_cast<std::size_t>(limit - p));
        p = line_feed != nullptr ? static_cast<const char*>(line_feed) : limit;
      }
      n = static_cast<std::int32_t>(p - start);
    } else {
      while ((Unbounded(maximum) || n < maximum) && p != joined) {
        const char* after = Iterate(node, body, p, shape);
        if (after == nullptr) break;
        p = after;
        ++n;
      }
    }
    if (known == nullptr) charged_ += p - start;  // the bytes looked at
    if (bytewise) {
      if (joined != nullptr && p == joined) p = run_end_;
      n = static_cast<std::int32_t>(p - start);
      RememberRun(body, start, p);
    }
    if (n < minimum) return Step::kFail;
    const std::int32_t save = SaveCaptures(floor, start);
    Push(MakeFrame(node, p, n, minimum, save, outer_count,
                   shape != nullptr ? FrameKind::kFixedGreedy : FrameKind::kFastGreedy, true));
    return NextFastGreedy(act, shape);
  }

  // One iteration of a fast repeat's body from p: the position after it, or
  // null.
  const char* Iterate(const std::uint8_t* repeat, const std::uint8_t* body, const char* p,
                      const RepeatShape* shape) const {
    if (shape == nullptr) return MatchOne(body, p);
    return MatchFixedBody(body, NextNode(repeat) - 4, p);
  }

  // Runs the fixed-width sequence from `node` up to `stop` at p. Every
  // alternative of an alternation in it takes the same number of bytes, so
  // the first one that matches decides: another would end at the same place,
  // and the groups (outside every alternation of the body) lie at the same
  // offsets whichever matched. Nothing here is recorded: the caller sets the
  // groups from the iteration's start.
  const char* MatchFixedBody(const std::uint8_t* node, const std::uint8_t* stop,
                             const char* p) const {
    while (node != stop) {
      const NodeKind kind = KindOf(node);
      if (kind == ALTERNATIVE) {
        const std::uint8_t* last = node;
        while (NextAlternative(last) != nullptr) last = NextAlternative(last);
        const std::uint8_t* join = NextNode(last);
        const char* after = nullptr;
        for (const std::uint8_t* a = node; a != nullptr && after == nullptr;
             a = NextAlternative(a)) {
          after = MatchFixedBody(GovernedNode(a), join, p);
        }
        if (after == nullptr) return nullptr;
        p = after;
        node = join;
        continue;
      }
      if (kind == LITERAL_RUN || IsOneCharacterKind(kind)) {
        if (kind != LITERAL_RUN || LiteralLength(node) > 0) {
          p = MatchOne(node, p);
          if (p == nullptr) return nullptr;
        }
      } else if (!AssertionHolds(kind, p)) {
        return nullptr;
      }
      node = NextNode(node);
    }
    return p;
  }

  // The groups of a fixed-width body as the iteration that starts at
  // `iteration` leaves them.
  void SetIterationGroups(const RepeatShape& shape, const char* iteration) {
    for (const RepeatShape::GroupSpan& span : shape.groups) {
      starts_[span.group] = iteration + span.open;
      ends_[span.group] = iteration + span.close;
      highest_opened_ = std::max(highest_opened_, span.group);
      record_.lastClosedGroup = std::max(record_.lastClosedGroup, span.group);
    }
  }

  // The next count to try, from the longest down: flag is set while the
  // longest has not been tried. Counts whose end does not hold the first byte
  // of a following literal are passed over without a try.
  Step NextFastGreedy(Activation& act, const RepeatShape* shape) {
    Frame& f = frames_.back();
    const std::uint8_t* node = NodeOf(f);
    const std::uint8_t* body = GovernedNode(node);
    // The literal the continuation starts with, past the nodes that take
    // no input: counts whose end does not hold it are not tried.
    const std::uint8_t* literal = NextNode(node);
    while (literal != nullptr && (KindOf(literal) == EMPTY || KindOf(literal) == GROUP_CLOSE)) {
      literal = NextNode(literal);
    }
    const int hint = HintOf(literal);
    const std::int32_t memo = MemoAfter(NextNode(node));
    const char* p = PosOf(f);
    bool untried = f.flag;
    f.flag = false;
    for (;;) {
      if (!untried) {
        if (f.a <= f.b) {
          // A fixed-width body's groups go back to what they were before.
          if (shape != nullptr) DropCaptures(f.c);
          frames_.pop_back();
          return Step::kFail;
        }
        // One iteration fewer: step back over the last body match.
        const bool plain_bytes = shape == nullptr ? KindOf(body) != LITERAL_RUN
                                                  : shape->width == 1 && shape->groups.empty();
        if (hint >= 0 && memo < 0 && plain_bytes && !shift_jis_) {
          // One byte per iteration: straight to the last count whose end
          // holds the following literal (the minimum when none does).
          const auto length = static_cast<std::size_t>(LiteralLength(literal));
          const char* low = p - (f.a - f.b);
          const char* q = low;
          for (const char* top = p; top > low;) {
            const void* hit = memrchr(low, hint, static_cast<std::size_t>(top - low));
            if (hit == nullptr) break;
            top = static_cast<const char*>(hit);
            if (static_cast<std::size_t>(end_ - top) >= length &&
                std::memcmp(top, LiteralBytes(literal), length) == 0) {
              q = top;
              break;
            }
          }
          charged_ += p - q;
          f.a -= static_cast<std::int32_t>(p - q);
          p = q;
        } else {
          if (shape != nullptr) {
            p -= shape->width;
          } else if (KindOf(body) == LITERAL_RUN) {
            p -= LiteralLength(body);
          } else if (shift_jis_) {
            p = cursor_.PreviousCharacter(p);
          } else {
            p -= 1;
          }
          ++charged_;  // a count backed over, tried or not
          f.a -= 1;
        }
      }
      untried = false;
      if (Remembered(memo, p)) {
        const bool bytewise = shape != nullptr ? shape->width == 1
                                               : !shift_jis_ && (KindOf(body) != LITERAL_RUN ||
                                                                 LiteralLength(body) == 1);
        if (bytewise) {
          const std::int32_t count = OpenBelow(memo, p, f.a, f.b);
          p -= f.a - count;
          f.a = count;
        }
        continue;
      }
      if (HintAllows(hint, p)) break;
    }
    f.pos = static_cast<std::int32_t>(p - start_);
    RestoreCaptures(f.c);
    if (shape != nullptr && f.a > 0) SetIterationGroups(*shape, p - shape->width);
    act = Activation{NextNode(node), p, false};
    return Step::kCall;
  }

  // The next count to try, from the minimum up: a is the count, c the byte
  // offset of its end from the repeat's start, b the capture save; flag is
  // set while the minimum has not been tried.
  Step NextFastLazy(Activation& act, const RepeatShape* shape) {
    Frame& f = frames_.back();
    const std::uint8_t* node = NodeOf(f);
    const std::int32_t maximum = RepeatMaxOf(node);
    const int hint = HintOf(NextNode(node));
    const std::int32_t memo = MemoAfter(NextNode(node));
    bool untried = f.flag;
    f.flag = false;
    for (;;) {
      if (!untried) {
        if (!Unbounded(maximum) && f.a >= maximum) break;
        const char* after = Iterate(node, GovernedNode(node), PosOf(f) + f.c, shape);
        if (after == nullptr) break;
        charged_ += after - (PosOf(f) + f.c);
        f.a += 1;
        f.c = static_cast<std::int32_t>(after - PosOf(f));
      }
      untried = false;
      const char* p = PosOf(f) + f.c;
      if (!HintAllows(hint, p) || Remembered(memo, p)) continue;
      if (shape != nullptr) {
        RestoreCaptures(f.b);
        if (f.a > 0) SetIterationGroups(*shape, p - shape->width);
      }
      act = Activation{NextNode(node), p, false};
      return Step::kCall;
    }
    if (shape != nullptr) DropCaptures(f.b);
    frames_.pop_back();
    return Step::kFail;
  }

  // --- capture saves ------------------------------------------------------
  // One save: highest opened group, last closed group, input, the number of
  // triples, then (end, start, group) for each group from the highest opened
  // down to floor + 1. Positions are offsets from the subject start, -1 none.
  std::int32_t Offset(const char* p) const {
    return p == nullptr ? -1 : static_cast<std::int32_t>(p - start_);
  }
  const char* Position(std::int32_t offset) const { return offset < 0 ? nullptr : start_ + offset; }
  std::int32_t SaveCaptures(std::int32_t floor, const char* in) {
    const std::int32_t index = static_cast<std::int32_t>(saves_.size());
    const std::int32_t triples = highest_opened_ > floor ? highest_opened_ - floor : 0;
    CheckRoom((4 + 3 * static_cast<std::size_t>(triples)) * sizeof(std::int32_t));
    saves_.push_back(highest_opened_);
    saves_.push_back(record_.lastClosedGroup);
    saves_.push_back(Offset(in));
    saves_.push_back(triples);
    for (std::int32_t p = highest_opened_; p > floor; --p) {
      saves_.push_back(Offset(ends_[p]));
      saves_.push_back(Offset(starts_[p]));
      saves_.push_back(p);
    }
    return index;
  }
  // Restores the save at `index`; returns its input position.
  const char* RestoreCaptures(std::int32_t index) {
    const std::int32_t* s = saves_.data() + index;
    highest_opened_ = s[0];
    record_.lastClosedGroup = s[1];
    const char* in = Position(s[2]);
    const std::int32_t triples = s[3];
    const std::int32_t last_closed = record_.lastClosedGroup;
    for (std::int32_t i = 0; i < triples; ++i) {
      const std::int32_t* t = s + 4 + 3 * i;
      const std::int32_t p = t[2];
      starts_[p] = Position(t[1]);
      if (p <= last_closed) ends_[p] = Position(t[0]);
    }
    for (std::int32_t g = last_closed + 1; g <= group_count_; ++g) {
      ends_[g] = nullptr;
      if (g > highest_opened_) starts_[g] = nullptr;
    }
    return in;
  }

  // Restores the save at `index` and drops it (and any later one).
  const char* DropCaptures(std::int32_t index) {
    const char* in = RestoreCaptures(index);
    saves_.resize(static_cast<std::size_t>(index));
    return in;
  }

  // Takes back iteration n of repeat frame `fi` after it failed: its count
  // and last position go back to what they were before it.
  void UndoIteration(std::int32_t fi, std::int32_t n, std::int32_t last) {
    RepeatFrame& r = repeats_[static_cast<std::size_t>(fi)];
    r.count = n - 1;
    r.last_position = Position(last);
  }

  // --- returning into frames ----------------------------------------------
  // Hands a nested run's result to the top frame: kCall when the frame
  // started another run (in `act`), else the result for the frame below.
  Step Resume(bool succeeded, Activation& act) {
    Frame& f = frames_.back();
    switch (f.kind) {
      case FrameKind::kAlternation: {
        if (succeeded) break;
        const std::int32_t remembered = f.a;
        for (std::int32_t g = remembered + 1; g <= group_count_; ++g) ends_[g] = nullptr;
        record_.lastClosedGroup = remembered;
        const std::uint8_t* next = NextAlternativeAt(NodeOf(f), PosOf(f));
        if (next == nullptr) break;
        f.node = static_cast<std::int32_t>(next - program_);
        act = Activation{GovernedNode(next), PosOf(f), false};
        return Step::kCall;
      }
      case FrameKind::kLookahead: {
        --lookaheads_;
        const bool negative = KindOf(NodeOf(f)) == NEGATIVE_LOOKAHEAD;
        const Frame frame = f;
        frames_.pop_back();
        if (succeeded == negative) return Step::kFail;
        const std::uint8_t* next = NextNode(NodeOf(frame));
        if (next == nullptr) throw EngineError("corrupted regexp pointers");
        act = Activation{next, PosOf(frame), frame.flag};
        return Step::kCall;
      }
      case FrameKind::kSimpleGreedy:
        if (succeeded) break;
        return NextSimpleGreedy(act);
      case FrameKind::kSimpleLazy:
        if (succeeded) break;
        return TrySimpleLazy(act);
      case FrameKind::kComplexEnter:
        current_repeat_ = repeats_[static_cast<std::size_t>(f.a)].outer;
        repeats_.pop_back();
        break;
      case FrameKind::kTailEmpty:
        if (succeeded) break;
        OuterCount(f.a) = f.b;
        current_repeat_ = f.a;
        break;
      case FrameKind::kTailMinimum:
        if (succeeded) break;
        DropCaptures(f.d);
        UndoIteration(f.a, f.b, f.c);
        break;
      case FrameKind::kLazyContinuation: {
        if (succeeded) break;
        OuterCount(f.a) = f.c;
        current_repeat_ = f.a;
        RepeatFrame& r = repeats_[static_cast<std::size_t>(f.a)];
        const std::int32_t n = f.b;
        if (!Unbounded(r.maximum) && n >= r.maximum) {
          DropCaptures(f.d);
          break;
        }
        RestoreCaptures(f.d);
        r.count = n;
        f.c = f.d;
        f.d = Offset(r.last_position);
        r.last_position = PosOf(f);
        f.kind = FrameKind::kLazyBody;
        act = Activation{r.body, PosOf(f), false};
        return Step::kCall;
      }
      case FrameKind::kLazyBody:
        if (succeeded) break;
        DropCaptures(f.c);
        UndoIteration(f.a, f.b, f.d);
        RememberFailure(f.a, f.pos);
        break;
      case FrameKind::kGreedyBody: {
        if (succeeded) break;
        const char* in = DropCaptures(f.c);
        return GreedyContinuation(f.a, f.b, in, f.d, act, /*replace_top=*/true);
      }
      case FrameKind::kGreedyContinuation:
        if (succeeded) break;
        OuterCount(f.a) = f.c;
        current_repeat_ = f.a;
        UndoIteration(f.a, f.b, f.d);
        // Reached only after the body was tried: a bounded repeat that
        // reached its maximum comes here directly, but it has no memo.
        RememberFailure(f.a, f.pos);
        break;
      case FrameKind::kFastGreedy:
      case FrameKind::kFixedGreedy: {
        if (succeeded) break;
        CountOf(current_repeat_) = f.d;
        const RepeatShape* shape = f.kind == FrameKind::kFixedGreedy ? ShapeOf(NodeOf(f)) : nullptr;
        return NextFastGreedy(act, shape);
      }
      case FrameKind::kGroupReopened:
        if (succeeded) break;
        starts_[f.a] = Position(f.b);
        ends_[f.a] = Position(f.c);
        break;
      case FrameKind::kFastLazy:
      case FrameKind::kFixedLazy: {
        if (succeeded) break;
        CountOf(current_repeat_) = f.d;
        const RepeatShape* shape = f.kind == FrameKind::kFixedLazy ? ShapeOf(NodeOf(f)) : nullptr;
        return NextFastLazy(act, shape);
      }
    }
    frames_.pop_back();
    return succeeded ? Step::kSucceed : Step::kFail;
  }

  PatternRecord& record_;
  const std::uint8_t* program_;
  const char* start_;
  const char* end_;
  std::uint8_t previous_;
  bool multi_line_;
  bool shift_jis_;
  std::int32_t group_count_;
  const char** starts_;
  const char** ends_;
  const char* minimum_end_ = nullptr;
  const char* match_end_ = nullptr;
  std::int32_t highest_opened_ = 0;
  static constexpr std::int32_t kOutermost = -1;
  std::int32_t current_repeat_ = kOutermost;  // index in repeats_
  std::int32_t outermost_count_ = 0;
  std::int32_t lookaheads_ = 0;
  std::vector<Frame>& frames_;
  std::vector<std::int32_t>& saves_;
  std::vector<RepeatFrame>& repeats_;
  ShiftJisPositions cursor_;
  FailureMemo memo_;
  const std::uint8_t* run_node_ = nullptr;  // see KnownRunEnd
  const char* run_from_ = nullptr;
  const char* run_end_ = nullptr;
  // Backtracking steps left to all the attempts of this search together.
  // Last, so that the members the interpreter uses most keep their offsets.
  std::int64_t steps_left_ = 0;
  std::int64_t charged_ = 0;  // repeat bytes not yet taken from the budget
  bool budget_granted_ = false;
};

}  // namespace
}  // namespace ostrevin::regex
