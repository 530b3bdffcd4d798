// Start-of-match analysis: one walk down from the first node and one pass
// along the top-level sequence of a single-alternative pattern.
//
// The facts, and why each holds in Shift-JIS mode ("k") as well:
// - start literal / start class / anchoring / skipping runs: see
//   AnalyseFirstNode; the matcher tries them only on character boundaries.
// - must literal with its offset: found with the trail-refusing literal
//   search, and in "k" mode its offset only bounds the end of the scan (the
//   nodes before it may take two bytes each).
// - a leading «.» repeat, greedy or lazy (kStartLineStarts,
//   kStartSearchStartOnly): an attempt one character later can end the run
//   at the same places less the first, so it tries a subset of the
//   continuations (in the same order); only where the character before is a line
//   feed (which the dot does not take) can a later start see new ones. In "k"
//   mode the dot may take a line feed as a trail byte: the matcher tries after
//   every line feed byte, which is never fewer starts than needed, and each
//   such position ends a character.
// - required literals with their least distance from the match start: the
//   matcher looks for their exact bytes at every byte position, trail bytes
//   included, in the same (folded) text the interpreter compares them with.
//   A search that refused trail bytes would have to know where characters
//   begin, and the start plus the distance may fall inside one; the byte
//   search can only find more, so it never rules out a start the matcher
//   could use. The distance counts one byte per character node, which a
//   double-byte character only exceeds. The literals only stop the scan (no
//   start is made from them), so they never bring a start onto a trail byte.
#include "regex/start_analysis.h"

#include <algorithm>
#include <vector>

#include "core/shift_jis.h"
#include "regex/program.h"

namespace ostrevin::regex {
namespace {

using enum NodeKind;

constexpr std::int32_t kNotFixed = -30000;

bool IsStartClassKind(NodeKind kind) {
  switch (kind) {
    case CHAR_CLASS:
    case WORD_CHAR:
    case NON_WORD_CHAR:
    case SPACE_CHAR:
    case NON_SPACE_CHAR:
    case DIGIT_CHAR:
    case NON_DIGIT_CHAR:
    case WORD_BOUNDARY:
    case NON_WORD_BOUNDARY:
      return true;
    default:
      return false;
  }
}

bool IsVaryingKind(NodeKind kind) {
  switch (kind) {
    case RESERVED_NOOP:
    case STAR_SIMPLE:
    case PLUS_SIMPLE:
    case REPEAT_SIMPLE:
    case REPEAT_COMPLEX:
    case BACK_REFERENCE:
    case REPEAT_COMPLEX_TAIL:
      return true;
    default:
      return false;
  }
}

bool IsAlternative(const std::uint8_t* node) {
  return node != nullptr && KindOf(node) == ALTERNATIVE;
}

// A «.» repeat without an upper bound reached first (through groups and
// single alternatives only).
void NoteLeadingDotRepeat(PatternRecord& record, const std::uint8_t* repeat) {
  if (RepeatMaxOf(repeat) != REPEAT_UNBOUNDED) return;
  const std::uint8_t* body = GovernedNode(repeat);
  const std::uint8_t* after = NextNode(body);
  if (after == nullptr || KindOf(after) != REPEAT_COMPLEX_TAIL) return;
  if (KindOf(body) == ANY_BUT_NEWLINE) record.startFlags |= kStartLineStarts;
  if (KindOf(body) == ANY_CHAR) record.startFlags |= kStartSearchStartOnly;
}

// The first node: walks through groups, lone alternatives, PLUS_SIMPLE,
// LAZY_NEXT and repeats with a minimum above 0.
void AnalyseFirstNode(PatternRecord& record, const std::uint8_t* node, bool back_reference_seen) {
  bool group_opened = false;
  bool plus_passed = false;
  bool only_groups = true;  // nothing but groups and single alternatives passed
  for (;;) {
    const NodeKind kind = KindOf(node);
    // Not inside a group a back-reference may name: the rest of the pattern
    // would then depend on where the match began.
    if (kind == REPEAT_COMPLEX && only_groups && !(group_opened && back_reference_seen)) {
      NoteLeadingDotRepeat(record, node);
    }
    if (kind == GROUP_OPEN) {
      group_opened = true;
      node += 6;
    } else if (kind == ALTERNATIVE && !IsAlternative(NextNode(node))) {
      node = GovernedNode(node);
    } else if (kind == PLUS_SIMPLE) {
      plus_passed = true;
      only_groups = false;
      node = GovernedNode(node);
    } else if (kind == LAZY_NEXT) {
      // A lazy «.» repeat tries the ends of its run from the nearest on, an
      // attempt one character later the same ends less the first: still a
      // subset of the continuations, so the greedy repeat's rule holds.
      if (only_groups && !(group_opened && back_reference_seen) &&
          KindOf(node + 4) == REPEAT_COMPLEX) {
        NoteLeadingDotRepeat(record, node + 4);
      }
      only_groups = false;
      node += 4;
    } else if ((kind == REPEAT_SIMPLE || kind == REPEAT_COMPLEX) && ArgumentOf(node) > 0) {
      only_groups = false;
      node = GovernedNode(node);
    } else {
      break;
    }
  }
  for (;;) {
    const NodeKind kind = KindOf(node);
    if (kind == LITERAL_RUN) {
      record.startLiteral =
          EngineStringNew(reinterpret_cast<const char*>(LiteralBytes(node)), LiteralLength(node));
      // A run of length 0 (an empty atom) would read up to the first 0x00:
      // keep exactly the run's bytes.
      EngineStringAssign(*record.startLiteral, reinterpret_cast<const char*>(LiteralBytes(node)),
                         LiteralLength(node));
    } else if (IsStartClassKind(kind)) {
      record.startClass = node;
    } else if (FamilyOf(kind) == 1) {
      record.startFlags |= kStartAnchored;
      node += 4;
      continue;
    }
    break;
  }
  if (plus_passed && (!group_opened || !back_reference_seen)) record.startFlags |= kStartSkipRuns;
}

// Collects the literals of the top-level sequence with the least number of
// bytes a match takes before each: runs with only zero-width nodes between
// them join into one literal.
class RequiredScan {
 public:
  void Literal(const std::uint8_t* node) {
    const int n = LiteralLength(node);
    if (n == 0) return;
    if (!adjacent_) {
      Flush();
      pending_offset_ = least_position_;
    }
    pending_.append(reinterpret_cast<const char*>(LiteralBytes(node)), static_cast<std::size_t>(n));
    least_position_ += n;
    adjacent_ = true;
  }
  // Anything else that takes at least `least_bytes` bytes.
  void Consumes(std::int32_t least_bytes) {
    Flush();
    least_position_ = std::min(least_position_ + least_bytes, std::int32_t{1} << 24);
  }
  // The longest few; the start literal at the match start is left out.
  std::vector<PatternRecord::RequiredLiteral> Take(const EngineString* start_literal) {
    Flush();
    std::erase_if(found_, [&](const PatternRecord::RequiredLiteral& l) {
      return start_literal != nullptr && l.minOffset == 0 &&
             l.bytes == std::string_view(start_literal->data(),
                                         static_cast<std::size_t>(start_literal->length()));
    });
    // Of equal literals the one farthest from the start says the most.
    std::stable_sort(found_.begin(), found_.end(),
                     [](const auto& a, const auto& b) { return a.minOffset > b.minOffset; });
    std::vector<PatternRecord::RequiredLiteral> kept;
    for (auto& literal : found_) {
      if (std::ranges::none_of(kept, [&](const auto& k) { return k.bytes == literal.bytes; })) {
        kept.push_back(std::move(literal));
      }
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.bytes.size() > b.bytes.size(); });
    // Each costs the matcher one pass over the text.
    if (kept.size() > kMostRequiredLiterals) kept.resize(kMostRequiredLiterals);
    return kept;
  }

 private:
  void Flush() {
    if (!pending_.empty()) found_.push_back({std::move(pending_), pending_offset_});
    pending_.clear();
    adjacent_ = false;
  }

  std::vector<PatternRecord::RequiredLiteral> found_;
  std::string pending_;
  std::int32_t pending_offset_ = 0;
  std::int32_t least_position_ = 0;
  bool adjacent_ = false;
};

// The least number of bytes a node of varying width takes.
std::int32_t LeastBytes(const std::uint8_t* node) {
  switch (KindOf(node)) {
    case PLUS_SIMPLE:
      return 1;
    case REPEAT_SIMPLE:
      return ArgumentOf(node);
    default:
      return 0;  // a complex repeat's body may be empty; a back-reference too
  }
}

struct MustScan {
  std::unique_ptr<EngineString> current;
  std::int32_t current_start = 0;
  std::unique_ptr<EngineString> best;
  std::int32_t best_start = 0;
  const std::uint8_t* follows_current = nullptr;  // node after the current literal

  void Compete() {
    if (current->length() > best->length()) {
      EngineStringCopy(*best, *current);
      best_start = current_start;
    }
    EngineStringAssign(*current, "", 0);
  }
};

}  // namespace

void AnalyseStartFacts(PatternRecord& record, std::uint32_t flags, bool back_reference_seen,
                       bool multi_line, bool shift_jis) {
  record.startLiteral.reset();
  record.startClass = nullptr;
  record.mustLiteral.reset();
  record.mustOffset = -1;
  record.startFlags = 0;
  record.requiredLiterals.clear();
  if (record.program.size() < 2) return;
  const std::uint8_t* first = record.program.data() + 1;
  const std::uint8_t* after_first = NextNode(first);
  if (after_first == nullptr || KindOf(after_first) != PROGRAM_END) return;
  const std::uint8_t* body = GovernedNode(first);

  AnalyseFirstNode(record, body, back_reference_seen);
  RequiredScan required;

  MustScan scan;
  scan.current = EngineStringNew("", 0);
  scan.best = EngineStringNew("", 0);
  scan.follows_current = body;
  std::int32_t length = 0;    // L, the current literal's byte count
  std::int32_t position = 0;  // bytes from the match start; negative = not fixed
  const std::uint8_t* node = body;
  while (node != nullptr && KindOf(node) != PROGRAM_END) {
    const NodeKind kind = KindOf(node);
    if (kind == ALTERNATIVE) {
      const std::uint8_t* next = NextNode(node);
      if (IsAlternative(next)) {
        position = kNotFixed;
        required.Consumes(0);
        while (IsAlternative(NextNode(next))) next = NextNode(next);
        node = NextNode(next);  // the alternation's ender
      } else {
        node = GovernedNode(node);
      }
      continue;
    }
    if (kind == NEGATIVE_LOOKAHEAD) {
      position = kNotFixed;
      node = NextNode(node);
      continue;
    }
    if (kind == LITERAL_RUN) {
      const std::int32_t n = LiteralLength(node);
      const char* bytes = reinterpret_cast<const char*>(LiteralBytes(node));
      const std::uint8_t* after = NextNode(node);
      while (after != nullptr && KindOf(after) == GROUP_CLOSE) after = NextNode(after);
      required.Literal(node);
      if (position - scan.current_start == length) {
        EngineStringAppend(*scan.current, bytes, n);
        length += n;
        position += n;
        scan.follows_current = after;
      } else if ((position >= 0 && n >= length + 1) || (position < 0 && n >= length)) {
        EngineStringAssign(*scan.current, bytes, n);
        length = n;
        scan.current_start = position;
        position += n;
        scan.follows_current = after;
      } else {
        position += n;
      }
      node = after;
      continue;
    }
    if (IsVaryingKind(kind)) {
      length = 0;
      position = kNotFixed;
      scan.Compete();
      required.Consumes(LeastBytes(node));
    } else if (IsOneCharacterKind(kind)) {
      position += 1;
      length = 0;
      scan.Compete();
      required.Consumes(1);
    }
    node = NextNode(node);
  }

  record.requiredLiterals = required.Take(record.startLiteral.get());

  const bool tail_follows = scan.follows_current != nullptr && FamilyOf(scan.follows_current) == 4;
  bool current_won = false;
  if (scan.current->length() + (tail_follows ? 1 : 0) > scan.best->length()) {
    EngineStringCopy(*scan.best, *scan.current);
    scan.best_start = scan.current_start;
    current_won = true;
  } else {
    EngineStringAssign(*scan.current, "", 0);
  }
  if (scan.best->length() == 0) return;
  if (record.startLiteral != nullptr &&
      FindLiteral(record.startLiteral->data(),
                  record.startLiteral->data() + record.startLiteral->length(), *scan.best,
                  multi_line, shift_jis) != nullptr) {
    return;
  }
  record.mustLiteral = std::move(scan.best);
  record.mustOffset = scan.best_start < 0 ? -1 : scan.best_start;
  const bool fold = (flags & kFlagIgnoreCase) != 0;
  const std::int32_t needed = (fold || tail_follows) ? 0 : 1;
  if (record.mustLiteral->length() > needed) BuildSkipTable(*record.mustLiteral, fold);
  SetSearchKind(*record.mustLiteral);
  record.mustLiteral->usefulness = 100;
  if (current_won && tail_follows) record.mustLiteral->flags |= EngineString::kTailAnchored;
}

namespace {

bool IsWordByte(int b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_';
}
bool IsSpaceByte(int b) { return b == ' ' || (b >= 0x09 && b <= 0x0D); }
bool IsDigitByte(int b) { return b >= '0' && b <= '9'; }

// Adds to `set` the bytes a one-character node can begin with (for a
// literal run, its first byte; in Shift-JIS mode a class also takes every
// lead byte, which may begin a double-byte member). False for a node that
// consumes nothing.
bool AddOneCharacterBytes(const PatternRecord& record, const std::uint8_t* node, bool shift_jis,
                          std::array<std::uint8_t, 256>& set) {
  auto add_if = [&](auto&& test) {
    for (int b = 0; b < 256; ++b) {
      if (test(b)) set[static_cast<std::size_t>(b)] = 1;
    }
  };
  switch (KindOf(node)) {
    case LITERAL_RUN:
      if (LiteralLength(node) == 0) return false;
      set[LiteralBytes(node)[0]] = 1;
      return true;
    case ANY_BUT_NEWLINE:
      add_if([](int b) { return b != '\n'; });
      return true;
    case ANY_CHAR:
      add_if([](int) { return true; });
      return true;
    case CHAR_CLASS:
      for (const auto& table : record.classTables) {
        if (record.program.data() + table.offset == node) {
          add_if([&](int b) { return table.member[static_cast<std::size_t>(b)] != 0; });
        }
      }
      if (shift_jis) add_if([](int b) { return sjis::IsLeadByte(static_cast<std::uint8_t>(b)); });
      return true;
    case WORD_CHAR:
      add_if([](int b) { return IsWordByte(b); });
      return true;
    case NON_WORD_CHAR:
      add_if([](int b) { return !IsWordByte(b); });
      return true;
    case SPACE_CHAR:
      add_if([](int b) { return IsSpaceByte(b); });
      return true;
    case NON_SPACE_CHAR:
      add_if([](int b) { return !IsSpaceByte(b); });
      return true;
    case DIGIT_CHAR:
      add_if([](int b) { return IsDigitByte(b); });
      return true;
    case NON_DIGIT_CHAR:
      add_if([](int b) { return !IsDigitByte(b); });
      return true;
    default:
      return false;
  }
}

}  // namespace

void AnalyseFirstBytes(PatternRecord& record, bool shift_jis) {
  record.classTables.clear();
  record.hasFirstBytes = false;
  record.firstBytes.fill(0);
  const std::vector<std::uint8_t>& program = record.program;
  if (program.size() < 2) return;
  ForEachNode(program, [&](std::size_t at) {
    if (program[at] != static_cast<std::uint8_t>(CHAR_CLASS)) return;
    PatternRecord::ClassTable table{static_cast<std::int32_t>(at), {}};
    for (int code = 0; code < 256; ++code) {
      table.member[static_cast<std::size_t>(code)] =
          ClassContains(static_cast<std::uint16_t>(code), program.data() + at) ? 1 : 0;
    }
    record.classTables.push_back(table);
  });

  // Every node a match can reach before it consumes its first byte: a walk
  // over zero-width nodes. Reaching the end (or a back-reference, which may
  // be empty) means a match may start anywhere.
  std::array<std::uint8_t, 256>& first = record.firstBytes;
  std::vector<std::uint8_t> seen(program.size(), 0);
  std::vector<const std::uint8_t*> pending = {program.data() + 1};
  auto consume = [&](const std::uint8_t* node) {
    return AddOneCharacterBytes(record, node, shift_jis, first);
  };
  while (!pending.empty()) {
    const std::uint8_t* node = pending.back();
    pending.pop_back();
    if (node == nullptr) return;  // a chain without its end: give up
    const std::size_t at = static_cast<std::size_t>(node - program.data());
    if (at >= program.size()) return;
    if (seen[at] != 0) continue;
    seen[at] = 1;
    if (node[0] > kMaxNodeKind) return;
    const NodeKind kind = KindOf(node);
    switch (kind) {
      case PROGRAM_END:
      case LOOKAHEAD_END:
      case BACK_REFERENCE:
        return;  // may match empty here: no first-byte set
      case ALTERNATIVE: {
        pending.push_back(GovernedNode(node));
        const std::uint8_t* next = NextNode(node);
        if (next != nullptr && KindOf(next) == ALTERNATIVE) pending.push_back(next);
        continue;
      }
      case STAR_SIMPLE:
      case PLUS_SIMPLE:
      case REPEAT_SIMPLE: {
        const bool at_least_one =
            kind == PLUS_SIMPLE || (kind == REPEAT_SIMPLE && ArgumentOf(node) > 0);
        // Zero repetitions, or a zero-width operand: what follows may come first.
        if (!consume(GovernedNode(node)) || !at_least_one) pending.push_back(NextNode(node));
        continue;
      }
      case REPEAT_COMPLEX:
        pending.push_back(GovernedNode(node));
        if (ArgumentOf(node) == 0) pending.push_back(NextNode(node));
        continue;
      case REPEAT_COMPLEX_TAIL:
        pending.push_back(node + 4);  // the EMPTY after the repeat
        continue;
      default:
        if (consume(node)) continue;
        pending.push_back(NextNode(node));  // a zero-width node
        continue;
    }
  }
  record.hasFirstBytes = true;
}

// In byte mode every one-character node takes exactly one byte, and a
// greedy unbounded repeat followed by nothing but group ends keeps the whole
// run: nothing after it can fail, so it never backs off. The leftmost match
// is then the first run of member bytes at least `minimum` long, and every
// group spans the whole match. Under "i" the matcher compares the folded
// text, so a byte is a member when its folded form is.
void AnalyseByteRun(PatternRecord& record) {
  record.byteRun.reset();
  const std::vector<std::uint8_t>& program = record.program;
  if (program.size() < 2 || (record.flags & kFlagShiftJis) != 0) return;
  const std::uint8_t* top = program.data() + 1;
  const std::uint8_t* after_top = NextNode(top);
  if (KindOf(top) != ALTERNATIVE || after_top == nullptr || KindOf(after_top) != PROGRAM_END) {
    return;
  }
  PatternRecord::ByteRun run{};
  const std::uint8_t* node = GovernedNode(top);
  if (KindOf(node) == LINE_START || KindOf(node) == MULTILINE_START) {
    if ((record.startFlags & kStartAnchored) == 0) return;
    run.lineStart = true;
    node = NextNode(node);
  }
  std::int32_t opened = 0;
  for (; node != nullptr; node = NextNode(node)) {
    if (KindOf(node) == ALTERNATIVE) {
      const std::uint8_t* next = NextNode(node);
      if (next != nullptr && KindOf(next) == ALTERNATIVE) return;
      node = GovernedNode(node);
    }
    if (KindOf(node) == GROUP_OPEN) {
      // Groups are numbered in the order they open.
      if (ArgumentOf(node) != opened + 1) return;
      ++opened;
    } else if (KindOf(node) != EMPTY) {
      break;
    }
  }
  if (node == nullptr) return;
  const std::uint8_t* operand = GovernedNode(node);
  switch (KindOf(node)) {
    case PLUS_SIMPLE:
      run.minimum = 1;
      break;
    case REPEAT_SIMPLE:
      run.minimum = ArgumentOf(node);
      if (RepeatMaxOf(node) != REPEAT_UNBOUNDED) return;
      break;
    case REPEAT_COMPLEX:
      run.minimum = ArgumentOf(node);
      if (RepeatMaxOf(node) != REPEAT_UNBOUNDED || !IsSingleNodeBody(node)) return;
      break;
    default:
      return;
  }
  if (run.minimum < 1) return;
  if (KindOf(operand) == LITERAL_RUN ? LiteralLength(operand) != 1
                                     : !IsOneCharacterKind(KindOf(operand))) {
    return;
  }
  // The simple repeats of the interpreter take no class and no dot.
  if (KindOf(node) != REPEAT_COMPLEX &&
      (KindOf(operand) == CHAR_CLASS || KindOf(operand) == ANY_CHAR ||
       KindOf(operand) == ANY_BUT_NEWLINE)) {
    return;
  }
  std::array<std::uint8_t, 256> bytes{};
  if (!AddOneCharacterBytes(record, operand, false, bytes)) return;
  std::int32_t closed = 0;
  for (node = NextNode(node); node != nullptr && KindOf(node) != PROGRAM_END;
       node = NextNode(node)) {
    if (KindOf(node) == GROUP_CLOSE) {
      ++closed;
    } else if (KindOf(node) != EMPTY) {
      return;
    }
  }
  if (node == nullptr || closed != opened) return;
  const bool fold = record.foldCase != 0;
  for (int b = 0; b < 256; ++b) {
    const int folded = fold && b >= 'A' && b <= 'Z' ? b + 32 : b;
    run.member[static_cast<std::size_t>(b)] = bytes[static_cast<std::size_t>(folded)];
  }
  for (int b = 0; b < 256;) {
    if (run.member[static_cast<std::size_t>(b)] == 0) {
      ++b;
      continue;
    }
    int last = b;
    while (last < 255 && run.member[static_cast<std::size_t>(last) + 1] != 0) ++last;
    if (run.ranges == PatternRecord::ByteRun::kMostRanges) {
      run.ranges = 0;
      break;
    }
    run.rangeFirst[static_cast<std::size_t>(run.ranges)] = static_cast<std::uint8_t>(b);
    run.rangeSpan[static_cast<std::size_t>(run.ranges)] = static_cast<std::uint8_t>(last - b);
    ++run.ranges;
    b = last + 1;
  }
  record.byteRun = run;
}

}  // namespace ostrevin::regex
