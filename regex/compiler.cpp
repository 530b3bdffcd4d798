// The pattern compiler: a recursive-descent parser run twice over the
// pattern, once to size the program and once to emit it.
#include "regex/compiler.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/shift_jis.h"
#include "regex/engine_error.h"
#include "regex/program.h"
#include "regex/repeat_analysis.h"
#include "regex/start_analysis.h"

namespace ostrevin::regex {
namespace {

using enum NodeKind;

constexpr int kNone = -1;          // no node
constexpr int kPlaceholder = -2;   // a node of the sizing pass
constexpr int kMaxNesting = 1000;  // groups inside groups

// Repeat counts above this cannot be stored: 32767 means "unbounded".
constexpr std::int32_t kMaxRepeatCount = 32766;
// Only whether the costliness score reaches 10 matters; the score is capped
// so that many complex repeats (each doubles it) cannot overflow it.
constexpr int kCostlinessCap = 1 << 20;

bool IsSpace(std::uint8_t b) { return b == ' ' || (b >= 0x09 && b <= 0x0D); }
bool IsDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool IsWordByte(std::uint8_t b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || IsDigit(b) || b == '_';
}
bool IsUpper(std::uint16_t c) { return c >= 'A' && c <= 'Z'; }
std::uint16_t Lower(std::uint16_t c) { return IsUpper(c) ? static_cast<std::uint16_t>(c + 32) : c; }
int HexValue(std::uint8_t b) {
  if (IsDigit(b)) return b - '0';
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  if (b == 'x') return 0;  // the letter x counts as the digit 0
  return -1;
}

struct AtomFlags {
  bool one_byte = false;
  bool retry = false;
};

enum class GroupKind { kWhole, kGroup };

class Compiler {
 public:
  Compiler(const std::uint8_t* pattern, std::ptrdiff_t length, std::uint32_t flags)
      : pattern_(pattern), end_(length), flags_(flags), shift_jis_((flags & kFlagShiftJis) != 0) {}

  // Sizing pass: the bytes the program needs, PROGRAM_MAGIC included.
  std::int32_t Size() {
    StartPass(nullptr);
    EmitByte(PROGRAM_MAGIC);
    AtomFlags atom;
    ParseAlternation(GroupKind::kWhole, atom);
    return size_;
  }

  void Emit(std::vector<std::uint8_t>& program) {
    StartPass(&program);
    EmitByte(PROGRAM_MAGIC);
    AtomFlags atom;
    ParseAlternation(GroupKind::kWhole, atom);
  }

  [[nodiscard]] std::uint32_t flags() const { return flags_; }
  [[nodiscard]] int costliness() const { return costliness_; }
  [[nodiscard]] bool back_reference_seen() const { return back_reference_seen_; }
  [[nodiscard]] int group_count() const { return next_group_ - 1; }

 private:
  // --- pattern access -----------------------------------------------------
  [[nodiscard]] std::uint8_t At(std::ptrdiff_t i) const { return pattern_[i]; }
  [[nodiscard]] bool Has(std::ptrdiff_t i) const { return i >= 0 && i < end_; }
  [[nodiscard]] bool IsChar(std::ptrdiff_t i, char c) const {
    return Has(i) && At(i) == static_cast<std::uint8_t>(c);
  }
  [[nodiscard]] bool Extended() const { return (flags_ & kFlagExtended) != 0; }
  [[nodiscard]] bool Fold() const { return (flags_ & kFlagIgnoreCase) != 0; }

  void StartPass(std::vector<std::uint8_t>* program) {
    program_ = program;
    emit_ = 0;
    size_ = 0;
    pos_ = 0;
    next_group_ = 1;
    costliness_ = 0;
    depth_ = 0;
    back_reference_seen_ = false;
  }

  // --- emitting -----------------------------------------------------------
  [[nodiscard]] bool Sizing() const { return program_ == nullptr; }

  void Count(std::int32_t n) {
    size_ += n;
    // Give up as soon as the program cannot fit, before the parse goes deeper.
    if (size_ > kMaxProgramSize) throw EngineError("too big compile");
  }
  std::uint8_t* Room(std::size_t n) {
    if (emit_ + n > program_->size()) throw EngineError("fatal error");
    std::uint8_t* p = program_->data() + emit_;
    emit_ += n;
    return p;
  }
  void EmitByte(std::uint8_t b) {
    if (Sizing()) {
      Count(1);
      return;
    }
    *Room(1) = b;
  }
  int EmitNode(NodeKind kind) {
    if (Sizing()) {
      Count((size_ % 2 == 0 ? 1 : 0) + 3);
      return kPlaceholder;
    }
    if (emit_ % 2 == 0) *Room(1) = NODE_FILLER;
    const int node = static_cast<int>(emit_);
    std::uint8_t* p = Room(3);
    p[0] = static_cast<std::uint8_t>(kind);
    p[1] = p[2] = 0;
    return node;
  }
  int EmitNodeWithArgument(NodeKind kind, std::uint16_t value) {
    if (Sizing()) {
      Count((size_ % 2 == 0 ? 1 : 0) + 5);
      return kPlaceholder;
    }
    const int node = EmitNode(kind);
    WriteU16(Room(2), value);
    return node;
  }
  // Inserts a node before `operand`, shifting the operand and everything
  // emitted after it by 4 bytes (8 for the counted repeats). The shift is even,
  // so every moved node keeps its odd offset.
  int InsertNode(NodeKind kind, int operand) {
    const std::size_t shift = FamilyOf(kind) == 10 ? 8 : 4;
    if (Sizing()) {
      Count(static_cast<std::int32_t>(shift));
      return kPlaceholder;
    }
    Room(shift);
    std::uint8_t* base = program_->data();
    std::memmove(base + operand + shift, base + operand, emit_ - shift - operand);
    std::uint8_t* p = base + operand;
    p[0] = static_cast<std::uint8_t>(kind);
    p[1] = p[2] = 0;
    if (shift == 8) std::memset(p + 3, 0, 4);
    p[shift - 1] = NODE_FILLER;
    return operand;
  }
  std::uint8_t* NodeAt(int node) { return program_->data() + node; }
  void LinkTail(int chain, int target) {
    if (chain < 0 || target < 0 || Sizing()) return;
    std::uint8_t* node = NodeAt(chain);
    while (LinkOf(node) != 0) node += LinkOf(node);
    const std::ptrdiff_t distance = NodeAt(target) - node;
    WriteU16(node + 1, static_cast<std::uint16_t>(static_cast<std::int16_t>(distance)));
  }
  void LinkBranchTail(int node, int target) {
    if (node < 0 || Sizing()) return;
    if (FamilyOf(NodeAt(node)) != 12) return;
    LinkTail(static_cast<int>(GovernedNode(NodeAt(node)) - program_->data()), target);
  }
  [[nodiscard]] int Next(int node) {
    if (node < 0 || Sizing()) return kNone;
    const std::int16_t link = LinkOf(NodeAt(node));
    return link == 0 ? kNone : node + link;
  }

  // --- scanning -----------------------------------------------------------
  // Steps past a one-byte token, then over comment groups and, under "x",
  // white space and "#" comments.
  void NextToken() {
    ++pos_;
    while (Has(pos_)) {
      if (IsChar(pos_, '(') && IsChar(pos_ + 1, '?') && IsChar(pos_ + 2, '#')) {
        std::ptrdiff_t p = pos_ + 3;
        while (Has(p) && At(p) != ')') ++p;
        pos_ = Has(p) ? p + 1 : end_;
      } else if (Extended() && IsSpace(At(pos_))) {
        ++pos_;
      } else if (Extended() && At(pos_) == '#') {
        SkipLineComment();
      } else {
        break;
      }
    }
  }
  // From a "#": up to and including the next line feed, or to the end.
  void SkipLineComment() {
    while (Has(pos_) && At(pos_) != '\n') ++pos_;
    if (Has(pos_)) ++pos_;
  }
  [[nodiscard]] bool IsCountedRepeat(std::ptrdiff_t p) const {
    if (!IsChar(p, '{')) return false;
    ++p;
    if (!Has(p) || !IsDigit(At(p))) return false;
    while (Has(p) && IsDigit(At(p))) ++p;
    if (IsChar(p, ',')) {
      ++p;
      while (Has(p) && IsDigit(At(p))) ++p;
    }
    return IsChar(p, '}');
  }
  [[nodiscard]] bool IsQuantifierAt(std::ptrdiff_t p) const {
    return IsChar(p, '*') || IsChar(p, '+') || IsChar(p, '?') || IsCountedRepeat(p);
  }
  // Decimal digits from p (saturating); p ends after them.
  std::int32_t ReadNumber(std::ptrdiff_t& p) const {
    std::int32_t value = 0;
    while (Has(p) && IsDigit(At(p))) {
      if (value < 1000000) value = value * 10 + (At(p) - '0');
      ++p;
    }
    return value;
  }

  [[noreturn]] static void FailWithLetter(const char* format, std::uint8_t letter) {
    char text[64];
    std::snprintf(text, sizeof text, format, letter);
    throw EngineError(text);
  }

  // --- parser -------------------------------------------------------------
  int ParseAlternation(GroupKind group_kind, AtomFlags& atom) {
    atom.retry = false;
    char kind = group_kind == GroupKind::kWhole ? '\0' : 'c';
    int number = 0;
    int open = kNone;
    if (group_kind == GroupKind::kGroup && IsChar(pos_, '?')) {
      ++pos_;
      // "(?" ending the pattern names no group kind.
      if (!Has(pos_)) throw EngineError("Sequence (? not terminated");
      const std::uint8_t letter = At(pos_);
      ++pos_;
      if (letter == '!' || letter == ':' || letter == '=') {
        kind = static_cast<char>(letter);
      } else if (letter == '#') {
        std::ptrdiff_t p = pos_;
        while (Has(p) && At(p) != ')') ++p;
        if (!Has(p)) throw EngineError("Sequence (?#... not terminated");
        pos_ = p;
        NextToken();
        atom.retry = true;
        return kNone;
      } else if (letter == '$' || letter == '@') {
        FailWithLetter("Sequence (?%c...) not implemented", letter);
      } else {
        --pos_;
        for (; Has(pos_); ++pos_) {
          const std::uint8_t m = At(pos_);
          if (m == 'i')
            flags_ |= kFlagIgnoreCase;
          else if (m == 'o')
            flags_ |= kFlagOnce;
          else if (m == 'g')
            flags_ |= kFlagGlobal;
          else if (m == 'm')
            flags_ |= kFlagMultiLine;
          else if (m == 's')
            flags_ |= kFlagSingleLine;
          else if (m == 'x')
            flags_ |= kFlagExtended;
          else
            break;
        }
        if (IsChar(pos_, ')')) {
          NextToken();
          atom.retry = true;
          return kNone;
        }
        FailWithLetter("Sequence (?%c...) not recognized", letter);
      }
    } else if (group_kind == GroupKind::kGroup) {
      number = next_group_++;
      open = EmitNodeWithArgument(GROUP_OPEN, static_cast<std::uint16_t>(number));
    }
    if (++depth_ > kMaxNesting) throw EngineError("regexp nested too deeply");

    int branch = ParseBranch();
    int first = open != kNone ? open : branch;
    if (open != kNone) LinkTail(open, branch);
    while (IsChar(pos_, '|')) {
      NextToken();
      branch = ParseBranch();
      LinkTail(first, branch);
    }
    int ender;
    if (kind == '\0') {
      ender = EmitNode(PROGRAM_END);
    } else if (kind == 'c') {
      ender = EmitNodeWithArgument(GROUP_CLOSE, static_cast<std::uint16_t>(number));
    } else if (kind == ':') {
      ender = EmitNode(EMPTY);
    } else {
      ender = EmitNode(LOOKAHEAD_END);
    }
    LinkTail(first, ender);
    for (int node = first; node >= 0; node = Next(node)) LinkBranchTail(node, ender);
    if (kind == '=' || kind == '!') {
      first = InsertNode(kind == '=' ? LOOKAHEAD : NEGATIVE_LOOKAHEAD, first);
      LinkTail(first, EmitNode(EMPTY));
    }
    --depth_;
    if (group_kind == GroupKind::kGroup) {
      if (!IsChar(pos_, ')')) throw EngineError("unmatched () in regexp");
      NextToken();
      return first;
    }
    if (Has(pos_)) {
      throw EngineError(At(pos_) == ')' ? "unmatched () in regexp" : "junk on end of regexp");
    }
    return first;
  }

  int ParseBranch() {
    const int alternative = EmitNode(ALTERNATIVE);
    --pos_;
    NextToken();
    int previous = kNone;
    bool any = false;
    while (Has(pos_) && At(pos_) != '|' && At(pos_) != ')') {
      AtomFlags atom;
      const int piece = ParsePiece(atom);
      if (piece == kNone) {
        if (atom.retry) continue;
        throw EngineError("fatal error");
      }
      if (any) {
        costliness_ += 1;
        LinkTail(previous, piece);
      }
      previous = piece;
      any = true;
    }
    if (!any) EmitNode(EMPTY);
    return alternative;
  }

  int ParsePiece(AtomFlags& atom) {
    int node = ParseAtom(atom);
    if (node == kNone) return kNone;
    // A comment group right after a class (which ends without NextToken).
    while (IsChar(pos_, '(') && IsChar(pos_ + 1, '?') && IsChar(pos_ + 2, '#')) {
      std::ptrdiff_t p = pos_ + 3;
      while (Has(p) && At(p) != ')') ++p;
      if (!Has(p)) return node;
      pos_ = p;
      NextToken();
    }
    std::int32_t minimum;
    std::int32_t maximum;
    char quantifier;
    if (IsCountedRepeat(pos_)) {
      quantifier = '{';
      std::ptrdiff_t p = pos_ + 1;
      minimum = ReadNumber(p);
      maximum = minimum;
      if (IsChar(p, ',')) {
        ++p;
        const bool leading_zero = IsChar(p, '0');
        maximum = ReadNumber(p);
        if (maximum == 0 && !leading_zero)
          maximum = REPEAT_UNBOUNDED;
        else if (maximum > kMaxRepeatCount)
          throw EngineError("{n,m} count above 32766");
      }
      if (minimum > kMaxRepeatCount) throw EngineError("{n,m} count above 32766");
      pos_ = p;  // at the "}"
      NextToken();
    } else if (IsChar(pos_, '*') || IsChar(pos_, '+') || IsChar(pos_, '?')) {
      quantifier = static_cast<char>(At(pos_));
      minimum = quantifier == '+' ? 1 : 0;
      maximum = quantifier == '?' ? 1 : REPEAT_UNBOUNDED;
      NextToken();
    } else {
      return node;
    }

    int repeat;
    bool counted = false;
    if (atom.one_byte && quantifier == '*') {
      repeat = InsertNode(STAR_SIMPLE, node);
      costliness_ += 4;
    } else if (atom.one_byte && quantifier == '+') {
      repeat = InsertNode(PLUS_SIMPLE, node);
      costliness_ += 3;
    } else if (atom.one_byte) {
      costliness_ = std::min(costliness_ + costliness_ / 2 + 2, kCostlinessCap);
      repeat = InsertNode(REPEAT_SIMPLE, node);
      counted = true;
    } else {
      costliness_ = std::min(2 * costliness_ + 4, kCostlinessCap);
      LinkTail(node, EmitNode(REPEAT_COMPLEX_TAIL));
      repeat = InsertNode(REPEAT_COMPLEX, node);
      LinkTail(repeat, EmitNode(EMPTY));
      counted = true;
    }
    if (counted) {
      if (maximum != 0 && maximum < minimum) throw EngineError("Can't do {n,m} with n > m");
      if (!Sizing()) {
        WriteU16(NodeAt(repeat) + 3, static_cast<std::uint16_t>(minimum));
        WriteU16(NodeAt(repeat) + 5, static_cast<std::uint16_t>(maximum));
      }
    }
    if (IsChar(pos_, '?')) {
      NextToken();
      const int lazy = InsertNode(LAZY_NEXT, repeat);
      if (!Sizing()) LinkTail(lazy, lazy + 4);
      repeat = lazy;
    }
    if (IsQuantifierAt(pos_)) throw EngineError("nested *?+ in regexp");
    atom.one_byte = false;
    return repeat;
  }

  int ParseAtom(AtomFlags& atom) {
    atom.one_byte = false;
    atom.retry = false;
    for (;;) {
      if (!Has(pos_)) return EmptyLiteral();
      const std::uint8_t c = At(pos_);
      switch (c) {
        case '^':
          NextToken();
          return EmitNode((flags_ & kFlagMultiLine)    ? MULTILINE_START
                          : (flags_ & kFlagSingleLine) ? TEXT_START
                                                       : LINE_START);
        case '$':
          NextToken();
          return EmitNode((flags_ & kFlagMultiLine)    ? MULTILINE_END
                          : (flags_ & kFlagSingleLine) ? TEXT_END
                                                       : LINE_END);
        case '.':
          NextToken();
          costliness_ += 1;
          return EmitNode((flags_ & kFlagSingleLine) ? ANY_CHAR : ANY_BUT_NEWLINE);
        case '[':
          ++pos_;
          return ParseClass();
        case '(': {
          NextToken();
          AtomFlags group;
          const int node = ParseAlternation(GroupKind::kGroup, group);
          if (node != kNone) return node;
          continue;  // a modifier or comment group: look again where it ended
        }
        case '|':
        case ')':
          atom.retry = true;
          return kNone;
        case '*':
        case '+':
        case '?':
          throw EngineError("?+* follows nothing");
        case '\\':
          break;
        default:
          if (c == '#' && Extended()) {
            while (Has(pos_) && At(pos_) != '\n') ++pos_;
            continue;
          }
          return LiteralRun(atom);
      }
      // A backslash.
      if (!Has(pos_ + 1)) throw EngineError("trailing \\ in regexp");
      const std::uint8_t e = At(pos_ + 1);
      NodeKind kind;
      switch (e) {
        case 'A':
          kind = TEXT_START;
          break;
        case 'Z':
          kind = TEXT_END;
          break;
        case 'G':
          kind = SEARCH_START;
          break;
        case 'b':
          kind = WORD_BOUNDARY;
          break;
        case 'B':
          kind = NON_WORD_BOUNDARY;
          break;
        case 'w':
          kind = WORD_CHAR;
          break;
        case 'W':
          kind = NON_WORD_CHAR;
          break;
        case 's':
          kind = SPACE_CHAR;
          break;
        case 'S':
          kind = NON_SPACE_CHAR;
          break;
        case 'd':
          kind = DIGIT_CHAR;
          break;
        case 'D':
          kind = NON_DIGIT_CHAR;
          break;
        default:
          if (e >= '1' && e <= '9') {
            std::ptrdiff_t p = pos_ + 1;
            const std::int32_t n = ReadNumber(p);
            if (n <= 9 || n < next_group_) {
              back_reference_seen_ = true;
              pos_ = p - 1;
              const int node = EmitNodeWithArgument(BACK_REFERENCE, static_cast<std::uint16_t>(n));
              NextToken();
              return node;
            }
          }
          return LiteralRun(atom);
      }
      ++pos_;
      const int node = EmitNode(kind);
      NextToken();
      atom.one_byte = true;
      return node;
    }
  }

  int EmptyLiteral() {
    const int node = EmitNode(LITERAL_RUN);
    EmitByte(0);
    EmitByte(0);
    return node;
  }

  // Decodes the escape whose backslash is at p; p ends after it.
  std::uint8_t DecodeLiteralEscape(std::ptrdiff_t& p) {
    const std::uint8_t e = At(p + 1);
    p += 2;
    if (e >= '0' && e <= '7') {
      int value = e - '0';
      for (int i = 0; i < 2 && Has(p) && At(p) >= '0' && At(p) <= '7'; ++i, ++p) {
        value = value * 8 + (At(p) - '0');
      }
      return static_cast<std::uint8_t>(value & 0xFF);
    }
    switch (e) {
      case 'a':
        return 0x07;
      case 'e':
        return 0x1B;
      case 'f':
        return 0x0C;
      case 'n':
        return 0x0A;
      case 'r':
        return 0x0D;
      case 't':
        return 0x09;
      case 'c': {
        if (!Has(p)) throw EngineError("trailing \\c in regexp");
        std::uint8_t c = At(p++);
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 32);
        return static_cast<std::uint8_t>(c ^ 0x40);
      }
      case 'x': {
        int value = 0;
        for (int i = 0; i < 2 && Has(p) && HexValue(At(p)) >= 0; ++i, ++p) {
          value = value * 16 + HexValue(At(p));
        }
        return static_cast<std::uint8_t>(value);
      }
      default:
        return e;
    }
  }

  int LiteralRun(AtomFlags& atom) {
    const int node = EmitNode(LITERAL_RUN);
    const std::size_t length_at = emit_;
    EmitByte(0);
    int n = 0;
    std::ptrdiff_t scan = pos_;
    const std::ptrdiff_t run_start = pos_;
    while (Has(scan)) {
      const std::uint8_t b = At(scan);
      if (Extended() && IsSpace(b)) {
        ++scan;
        continue;
      }
      if (Extended() && b == '#') {
        while (Has(scan) && At(scan) != '\n') ++scan;
        if (Has(scan)) ++scan;
        continue;
      }
      if (b == '$' || b == '(' || b == ')' || b == '.' || b == '[' || b == '^' || b == '|') break;
      const std::ptrdiff_t char_start = scan;
      std::uint8_t value;
      if (b == '\\') {
        if (!Has(scan + 1)) throw EngineError("trailing \\ in regexp");
        const std::uint8_t e = At(scan + 1);
        if (std::strchr("ABDGSWZbdsw", e) != nullptr && e != 0) break;
        if (e >= '1' && e <= '9') {
          std::ptrdiff_t p = scan + 1;
          const std::int32_t number = ReadNumber(p);
          if (!Has(scan + 2) || !IsDigit(At(scan + 2)) || number < next_group_) break;
        }
        value = DecodeLiteralEscape(scan);
      } else {
        value = b;
        ++scan;
      }
      if (Fold() && value < 0x80 && IsUpper(value)) value = static_cast<std::uint8_t>(value + 32);
      const bool double_byte = shift_jis_ && sjis::IsLeadByte(value) && Has(scan) && At(scan) != 0;
      const std::ptrdiff_t after = scan + (double_byte ? 1 : 0);
      const int width = double_byte ? 2 : 1;
      if (IsQuantifierAt(after)) {
        if (n == 0) {
          AddRunBytes(value, double_byte, scan);
          n += width;
          scan = after;
        } else {
          scan = char_start;
        }
        break;
      }
      AddRunBytes(value, double_byte, scan);
      n += width;
      scan = after;
      if (n >= 126) break;
    }
    if (n == 0 && scan == run_start) {
      // Nothing could be taken (cannot happen for the atoms that reach here);
      // take the byte as it is so that the parse always moves on.
      AddRunBytes(At(scan), false, scan);
      n = 1;
      ++scan;
    }
    if (!Sizing()) (*program_)[length_at] = static_cast<std::uint8_t>(n);
    EmitByte(0);
    pos_ = scan - 1;
    NextToken();
    atom.one_byte = n == 1;
    return node;
  }
  void AddRunBytes(std::uint8_t value, bool double_byte, std::ptrdiff_t trail_at) {
    EmitByte(value);
    if (double_byte) EmitByte(At(trail_at));
  }

  // --- classes ------------------------------------------------------------
  void EmitClassCode(std::uint16_t code) {
    EmitByte(static_cast<std::uint8_t>(code >> 8));
    EmitByte(static_cast<std::uint8_t>(code & 0xFF));
  }
  void EmitSingle(std::uint16_t code) {
    EmitByte(CLASS_SINGLE);
    EmitClassCode(code);
  }
  void EmitRange(std::uint16_t first, std::uint16_t last) {
    EmitByte(CLASS_RANGE);
    EmitClassCode(first);
    EmitClassCode(last);
  }
  void EmitScratch(const std::bitset<256>& set) {
    int code = 0;
    while (code < 256) {
      if (!set[code]) {
        ++code;
        continue;
      }
      int last = code;
      while (last + 1 < 256 && set[last + 1]) ++last;
      if (last == code)
        EmitSingle(static_cast<std::uint16_t>(code));
      else
        EmitRange(static_cast<std::uint16_t>(code), static_cast<std::uint16_t>(last));
      code = last + 1;
    }
  }
  // Writes the items of a class escape (\w \W \s \S \d \D).
  void EmitClassEscape(std::uint8_t e) {
    std::bitset<256> set;
    switch (e) {
      case 'w':
      case 's':
        for (int b = 0; b < 0x80; ++b) {
          if (e == 'w' ? IsWordByte(static_cast<std::uint8_t>(b))
                       : IsSpace(static_cast<std::uint8_t>(b))) {
            set.set(static_cast<std::size_t>(b));
          }
        }
        EmitScratch(set);
        break;
      case 'W':
      case 'S':
        set.set();
        for (int b = 0; b < 0x80; ++b) {
          if (e == 'W' ? IsWordByte(static_cast<std::uint8_t>(b))
                       : IsSpace(static_cast<std::uint8_t>(b))) {
            set.reset(static_cast<std::size_t>(b));
          }
        }
        EmitScratch(set);
        EmitRange(0x0100, 0xFFFF);
        break;
      case 'd':
        EmitRange('0', '9');
        break;
      default:  // 'D'
        EmitRange(0x00, 0x2F);
        EmitRange(0x3A, 0xFF);
        EmitRange(0x0100, 0xFFFF);
        break;
    }
  }

  int ParseClass() {
    const int node = EmitNode(CHAR_CLASS);
    if (IsChar(pos_, '^')) {
      ++pos_;
      costliness_ += 1;
      EmitByte(CLASS_NEGATED);
    } else {
      EmitByte(0x00);
    }
    bool first_member = IsChar(pos_, ']') || IsChar(pos_, '-');
    bool pending = false;
    std::uint16_t range_first = 0;
    while (Has(pos_) && (At(pos_) != ']' || first_member)) {
      first_member = false;
      const std::uint8_t b = At(pos_);
      std::uint16_t code;
      if (shift_jis_ && sjis::IsLeadByte(b) && Has(pos_ + 1)) {
        code = static_cast<std::uint16_t>((b << 8) | At(pos_ + 1));
        pos_ += 2;
      } else if (b == '\\' && Has(pos_ + 1)) {
        const std::uint8_t e = At(pos_ + 1);
        if (e == 'w' || e == 'W' || e == 's' || e == 'S' || e == 'd' || e == 'D') {
          pos_ += 2;
          EmitClassEscape(e);
          if (pending) range_first = 0xFFFF;
          continue;
        }
        code = DecodeClassEscape();
      } else {
        code = b;
        ++pos_;
      }
      if (pending) {
        if (range_first > code) throw EngineError("invalid [] range in regexp");
        if (range_first == code) {
          AddClassSingle(code);
        } else {
          EmitRange(range_first, code);
          if (Fold() && IsUpper(range_first)) EmitRange(Lower(range_first), Lower(code));
        }
        pending = false;
      } else if (IsChar(pos_, '-') && Has(pos_ + 1) && At(pos_ + 1) != ']') {
        ++pos_;
        pending = true;
        range_first = code;
      } else {
        AddClassSingle(code);
      }
    }
    if (!IsChar(pos_, ']')) throw EngineError("unmatched [] in regexp");
    ++pos_;
    EmitByte(CLASS_END);
    return node;
  }
  void AddClassSingle(std::uint16_t code) {
    EmitSingle(code);
    if (Fold() && IsUpper(code)) EmitSingle(Lower(code));
  }
  // The escape at pos_ (a backslash with a byte after it); pos_ ends after it.
  std::uint16_t DecodeClassEscape() {
    const std::uint8_t e = At(pos_ + 1);
    pos_ += 2;
    if (IsDigit(e)) {
      // Up to three octal digits starting with this one, not reduced to a
      // byte; "\8" reads no digit at all (code 0, then the member "8").
      if (e > '7') {
        --pos_;
        return 0;
      }
      int value = e - '0';
      for (int i = 0; i < 2 && Has(pos_) && At(pos_) >= '0' && At(pos_) <= '7'; ++i, ++pos_) {
        value = value * 8 + (At(pos_) - '0');
      }
      return static_cast<std::uint16_t>(value);
    }
    switch (e) {
      case 'n':
        return 0x0A;
      case 'r':
        return 0x0D;
      case 't':
        return 0x09;
      case 'f':
        return 0x0C;
      case 'b':
        return 0x08;
      case 'e':
        return 0x1B;
      case 'a':
        return 0x07;
      case 'x': {
        int value = 0;
        for (int i = 0; i < 2 && Has(pos_) && HexValue(At(pos_)) >= 0; ++i, ++pos_) {
          value = value * 16 + HexValue(At(pos_));
        }
        return static_cast<std::uint16_t>(value);
      }
      case 'c': {
        if (!Has(pos_)) throw EngineError("trailing \\c in regexp");
        std::uint8_t c = At(pos_++);
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 32);
        return static_cast<std::uint16_t>(c ^ 0x40);
      }
      default:
        return e;
    }
  }

  const std::uint8_t* pattern_;
  std::ptrdiff_t end_;
  std::ptrdiff_t pos_ = 0;
  std::uint32_t flags_;
  bool shift_jis_;
  std::vector<std::uint8_t>* program_ = nullptr;
  std::size_t emit_ = 0;
  std::int32_t size_ = 0;
  int next_group_ = 1;
  int costliness_ = 0;
  int depth_ = 0;
  bool back_reference_seen_ = false;
};

template <typename T>
T Allocate(const char* message, auto&& make) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    throw EngineError(message);
  }
}

}  // namespace

std::unique_ptr<PatternRecord> CompilePattern(const char* pattern_start, const char* pattern_end,
                                              std::uint32_t& flags, char* message) {
  if (message != nullptr) message[0] = '\0';
  try {
    if (pattern_start == nullptr) throw EngineError("NULL argument");
    const std::ptrdiff_t length = pattern_end - pattern_start;
    const auto* pattern = reinterpret_cast<const std::uint8_t*>(pattern_start);
    std::unique_ptr<char[]> copy;
    if (length > 0) {
      copy = Allocate<std::unique_ptr<char[]>>("out of space savepvn", [&] {
        return std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(length) + 1);
      });
      std::memcpy(copy.get(), pattern_start, static_cast<std::size_t>(length));
      copy[length] = '\0';
    }
    Compiler compiler(pattern, length, flags);
    std::int32_t size = compiler.Size();
    // Inline modifiers met by the sizing pass are in force from the start of
    // the emitting pass; size again with them, since "i" adds class items
    // (as in «[A](?i)») that the first count did not see.
    if (compiler.flags() != flags) size = compiler.Size();
    if (size >= kMaxProgramSize + 1) throw EngineError("too big compile");
    auto record = Allocate<std::unique_ptr<PatternRecord>>(
        "out of space regexp", [] { return std::make_unique<PatternRecord>(); });
    record->patternLength = static_cast<std::int32_t>(length);
    if (length == 0) {
      record->flags = flags;
      return record;
    }
    record->patternText = std::move(copy);
    Allocate<int>("out of space regexp", [&] {
      record->program.assign(static_cast<std::size_t>(size), 0);
      return 0;
    });
    compiler.Emit(record->program);
    record->flags = flags;
    const std::uint32_t final_flags = compiler.flags();
    AnalyseStartFacts(*record, final_flags, compiler.back_reference_seen(),
                      (flags & kFlagMultiLine) != 0, (flags & kFlagShiftJis) != 0);
    AnalyseFirstBytes(*record, (flags & kFlagShiftJis) != 0);
    AnalyseRepeats(*record, compiler.back_reference_seen(), (flags & kFlagShiftJis) != 0);
    record->costly = compiler.costliness() >= 10 ? 1 : 0;
    record->foldCase = (final_flags & kFlagIgnoreCase) != 0 ? 1 : 0;
    record->multiLine = (final_flags & kFlagMultiLine) != 0 ? 1 : 0;
    AnalyseByteRun(*record);
    record->groupCount = compiler.group_count();
    const std::size_t entries = static_cast<std::size_t>(record->groupCount) + 1;
    Allocate<int>("out of space startp", [&] {
      record->groupStart.assign(entries, nullptr);
      return 0;
    });
    Allocate<int>("out of space endp", [&] {
      record->groupEnd.assign(entries, nullptr);
      return 0;
    });
    flags = final_flags;
    return record;
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return nullptr;
}

}  // namespace ostrevin::regex
