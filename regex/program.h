// The compiled program: the byte code that the compiler writes and the
// matcher runs, with the node kinds, their families and operand sizes.
//
// Layout of the program area (a byte vector):
//   byte 0        PROGRAM_MAGIC (0x9C)
//   byte 1 ...    nodes; the first node is always an ALTERNATIVE.
// Every node starts at an odd offset, so that its 16-bit fields lie on even
// offsets; the compiler writes NODE_FILLER (0x7F) before a node that would
// start at an even offset. The whole area is at most 32766 bytes.
//
// Node header:
//   byte 0    kind (0..34)
//   byte 1-2  next link: signed 16-bit little-endian distance from byte 0 of
//             this node to byte 0 of the node that follows it; 0 = none
//   byte 3..  operand: arguments (OperandLength bytes), inline data, or the
//             filler before the next node
// The governed node (body of an alternative, lookahead or complex repeat,
// operand of a simple repeat) starts at byte 4 + OperandLength(kind).
//
// Arguments (16-bit little-endian):
//   BACK_REFERENCE, GROUP_OPEN, GROUP_CLOSE  group number at 3-4, filler at 5
//   REPEAT_SIMPLE, REPEAT_COMPLEX            minimum at 3-4, maximum at 5-6
//                                            (32767 = unbounded), filler at 7
// Inline data:
//   LITERAL_RUN  byte 3 = n (0..127), bytes 4..4+n-1, then one 0x00
//   CHAR_CLASS   byte 3 = header (0x00 or CLASS_NEGATED 0x83), then items:
//                CLASS_SINGLE 0x80 hi lo | CLASS_RANGE 0x81 hi lo hi lo,
//                ended by CLASS_END 0x82. Codes are HIGH BYTE FIRST (unlike
//                links and arguments); 0x0100-0xFFFF are double-byte codes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrevin::regex {

inline constexpr std::uint8_t PROGRAM_MAGIC = 0x9C;
inline constexpr std::uint8_t NODE_FILLER = 0x7F;
inline constexpr std::uint16_t REPEAT_UNBOUNDED = 32767;
inline constexpr std::int32_t kMaxProgramSize = 32766;  // magic byte included
inline constexpr std::uint8_t CLASS_SINGLE = 0x80;
inline constexpr std::uint8_t CLASS_RANGE = 0x81;
inline constexpr std::uint8_t CLASS_END = 0x82;
inline constexpr std::uint8_t CLASS_NEGATED = 0x83;
inline constexpr int kMaxLiteralRun = 127;  // bytes of one LITERAL_RUN at most

enum class NodeKind : std::uint8_t {
  PROGRAM_END = 0,           // the match succeeds here
  LINE_START = 1,            // "^": start of a line
  MULTILINE_START = 2,       // "^" under "m"
  TEXT_START = 3,            // "^" under "s", \A: start of the searched text
  LINE_END = 4,              // "$": end, or before a final newline (multi-line: any newline)
  MULTILINE_END = 5,         // "$" under "m": before any newline, or end
  TEXT_END = 6,              // "$" under "s", \Z: end or before a final newline
  ANY_BUT_NEWLINE = 7,       // ".": one character other than newline
  ANY_CHAR = 8,              // "." under "s": any one character
  CHAR_CLASS = 9,            // [...]: inline class
  REPEAT_SIMPLE = 10,        // min, max; governs a one-byte operand
  REPEAT_COMPLEX = 11,       // min, max; governs a body ending in REPEAT_COMPLEX_TAIL
  ALTERNATIVE = 12,          // governs one alternative; next = next ALTERNATIVE or ender
  RESERVED_NOOP = 13,        // never written; matches the empty string
  LITERAL_RUN = 14,          // inline bytes
  EMPTY = 15,                // matches the empty string
  STAR_SIMPLE = 16,          // governed one-byte operand 0..unbounded times
  PLUS_SIMPLE = 17,          // governed one-byte operand 1..unbounded times
  WORD_CHAR = 18,            // \w
  NON_WORD_CHAR = 19,        // \W
  WORD_BOUNDARY = 20,        // \b
  NON_WORD_BOUNDARY = 21,    // \B
  SPACE_CHAR = 22,           // \s
  NON_SPACE_CHAR = 23,       // \S
  DIGIT_CHAR = 24,           // \d
  NON_DIGIT_CHAR = 25,       // \D
  BACK_REFERENCE = 26,       // group number
  GROUP_OPEN = 27,           // group number
  GROUP_CLOSE = 28,          // group number
  LAZY_NEXT = 29,            // the repeat node 4 bytes on is lazy
  SEARCH_START = 30,         // \G
  LOOKAHEAD = 31,            // (?= ... ): governs a body ending in LOOKAHEAD_END
  NEGATIVE_LOOKAHEAD = 32,   // (?! ... )
  LOOKAHEAD_END = 33,        // the lookahead body has matched
  REPEAT_COMPLEX_TAIL = 34,  // loop control of the enclosing REPEAT_COMPLEX
};
inline constexpr int kNodeKindCount = 36;  // kind 35 has table rows but is never written
inline constexpr std::uint8_t kMaxNodeKind = 34;

// NodeFamily: the kind that represents each kind's family.
inline constexpr std::array<std::uint8_t, kNodeKindCount> kNodeFamily = {
    0,  1,  1,  1,  4,  4,  4,  7,  7,  9,  10, 10, 12, 13, 14, 15, 16, 17,
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 1,  12, 12, 0,  34, 0};
// OperandLength: argument bytes at byte 3 of each kind.
inline constexpr std::array<std::uint8_t, kNodeKindCount> kOperandLength = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0};

static_assert(kNodeFamily[static_cast<int>(NodeKind::SEARCH_START)] == 1);
static_assert(kNodeFamily[static_cast<int>(NodeKind::LOOKAHEAD)] == 12);
static_assert(kNodeFamily[static_cast<int>(NodeKind::REPEAT_COMPLEX)] == 10);
static_assert(kOperandLength[static_cast<int>(NodeKind::GROUP_OPEN)] == 2);
static_assert(kOperandLength[static_cast<int>(NodeKind::REPEAT_SIMPLE)] == 4);
// A node with no arguments is 4 bytes with its filler, one with a group number
// 6, a counted repeat 8: all even, so inserting one keeps odd offsets odd.
static_assert((4 + kOperandLength[static_cast<int>(NodeKind::GROUP_OPEN)]) % 2 == 0);
static_assert((4 + kOperandLength[static_cast<int>(NodeKind::REPEAT_COMPLEX)]) % 2 == 0);

[[nodiscard]] constexpr NodeKind KindOf(const std::uint8_t* node) {
  return static_cast<NodeKind>(node[0]);
}
[[nodiscard]] constexpr std::uint8_t FamilyOf(NodeKind kind) {
  return kNodeFamily[static_cast<std::uint8_t>(kind)];
}
[[nodiscard]] constexpr std::uint8_t FamilyOf(const std::uint8_t* node) {
  return node[0] < kNodeKindCount ? kNodeFamily[node[0]] : 0;
}
[[nodiscard]] constexpr bool IsFamily(const std::uint8_t* node, NodeKind family) {
  return FamilyOf(node) == static_cast<std::uint8_t>(family);
}

// Nodes that match exactly one character (one byte, or two in "k" mode).
[[nodiscard]] constexpr bool IsOneCharacterKind(NodeKind kind) {
  switch (kind) {
    case NodeKind::ANY_BUT_NEWLINE:
    case NodeKind::ANY_CHAR:
    case NodeKind::CHAR_CLASS:
    case NodeKind::WORD_CHAR:
    case NodeKind::NON_WORD_CHAR:
    case NodeKind::SPACE_CHAR:
    case NodeKind::NON_SPACE_CHAR:
    case NodeKind::DIGIT_CHAR:
    case NodeKind::NON_DIGIT_CHAR:
      return true;
    default:
      return false;
  }
}

// A complex repeat whose body is one node that consumes at least one byte
// and sets nothing (a character node or a literal run): the matcher runs it
// in a loop instead of one frame per iteration.
[[nodiscard]] constexpr bool IsSingleNodeBody(const std::uint8_t* repeat);

// Zero-width nodes that test the position and nothing else: anchors, word
// boundaries and \G.
[[nodiscard]] constexpr bool IsPositionTestKind(NodeKind kind) {
  switch (kind) {
    case NodeKind::LINE_START:
    case NodeKind::MULTILINE_START:
    case NodeKind::TEXT_START:
    case NodeKind::LINE_END:
    case NodeKind::MULTILINE_END:
    case NodeKind::TEXT_END:
    case NodeKind::WORD_BOUNDARY:
    case NodeKind::NON_WORD_BOUNDARY:
    case NodeKind::SEARCH_START:
      return true;
    default:
      return false;
  }
}

[[nodiscard]] constexpr std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
constexpr void WriteU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
[[nodiscard]] constexpr std::int16_t LinkOf(const std::uint8_t* node) {
  return static_cast<std::int16_t>(ReadU16(node + 1));
}

// NextNode: the node the next link leads to, or null when the link is 0.
[[nodiscard]] constexpr const std::uint8_t* NextNode(const std::uint8_t* node) {
  const std::int16_t link = LinkOf(node);
  return link == 0 ? nullptr : node + link;
}
[[nodiscard]] constexpr std::uint8_t* NextNode(std::uint8_t* node) {
  const std::int16_t link = LinkOf(node);
  return link == 0 ? nullptr : node + link;
}

// The governed node: body of ALTERNATIVE / lookaheads / REPEAT_COMPLEX,
// operand of the simple repeats.
[[nodiscard]] constexpr const std::uint8_t* GovernedNode(const std::uint8_t* node) {
  return node + 4 + (node[0] < kNodeKindCount ? kOperandLength[node[0]] : 0);
}
// The 16-bit argument at byte 3 (group number, or a repeat's minimum) and the
// repeat maximum at byte 5.
[[nodiscard]] constexpr std::uint16_t ArgumentOf(const std::uint8_t* node) {
  return ReadU16(node + 3);
}
[[nodiscard]] constexpr std::uint16_t RepeatMaxOf(const std::uint8_t* node) {
  return ReadU16(node + 5);
}
// LITERAL_RUN: length byte and the bytes.
[[nodiscard]] constexpr int LiteralLength(const std::uint8_t* node) { return node[3]; }
[[nodiscard]] constexpr const std::uint8_t* LiteralBytes(const std::uint8_t* node) {
  return node + 4;
}

constexpr bool IsSingleNodeBody(const std::uint8_t* repeat) {
  const std::uint8_t* body = GovernedNode(repeat);
  const std::uint8_t* after = NextNode(body);
  if (after == nullptr || KindOf(after) != NodeKind::REPEAT_COMPLEX_TAIL) return false;
  if (KindOf(body) == NodeKind::LITERAL_RUN) return LiteralLength(body) > 0;
  return IsOneCharacterKind(KindOf(body));
}

// Class membership of a character code: the items from byte 4 up to
// CLASS_END, inverted by CLASS_NEGATED. A byte among the items that is none
// of the item codes is stepped over.
[[nodiscard]] bool ClassContains(std::uint16_t code, const std::uint8_t* class_node);

// Calls fn(offset) for every node of the program in storage order (fillers
// and inline data are stepped over).
template <typename Fn>
void ForEachNode(const std::vector<std::uint8_t>& program, Fn&& fn);

// One line per node ("  1: ALTERNATIVE next=5"), for test failure messages.
[[nodiscard]] std::string Dump(const std::vector<std::uint8_t>& program);
[[nodiscard]] const char* NodeKindName(std::uint8_t kind);

// Size of the node at `at` with its inline data, or 0 when it runs past the
// end of the program.
[[nodiscard]] std::size_t NodeSize(const std::vector<std::uint8_t>& program, std::size_t at);

template <typename Fn>
void ForEachNode(const std::vector<std::uint8_t>& program, Fn&& fn) {
  std::size_t at = 1;
  while (at < program.size()) {
    if (program[at] == NODE_FILLER && at % 2 == 0) {
      ++at;
      continue;
    }
    const std::size_t size = NodeSize(program, at);
    if (size == 0) return;
    fn(at);
    at += size;
  }
}

}  // namespace ostrevin::regex
