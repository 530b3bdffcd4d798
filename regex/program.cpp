// Class membership and the readable dump of a compiled program.
#include "regex/program.h"

#include <cstdio>

namespace ostrevin::regex {

bool ClassContains(std::uint16_t code, const std::uint8_t* class_node) {
  const bool negated = class_node[3] == CLASS_NEGATED;
  const std::uint8_t* p = class_node + 4;
  bool member = false;
  while (*p != CLASS_END) {
    if (*p == CLASS_SINGLE) {
      const std::uint16_t value = static_cast<std::uint16_t>((p[1] << 8) | p[2]);
      p += 3;
      if (value == code) {
        member = true;
        break;
      }
    } else if (*p == CLASS_RANGE) {
      const std::uint16_t first = static_cast<std::uint16_t>((p[1] << 8) | p[2]);
      const std::uint16_t last = static_cast<std::uint16_t>((p[3] << 8) | p[4]);
      p += 5;
      if (first <= code && code <= last) {
        member = true;
        break;
      }
    } else {
      ++p;
    }
  }
  return member != negated;
}

std::size_t NodeSize(const std::vector<std::uint8_t>& program, std::size_t at) {
  if (at + 3 > program.size() || program[at] > kMaxNodeKind) return 0;
  const NodeKind kind = static_cast<NodeKind>(program[at]);
  if (kind == NodeKind::LITERAL_RUN) {
    if (at + 3 >= program.size()) return 0;
    return 4 + static_cast<std::size_t>(program[at + 3]) + 1;
  }
  if (kind == NodeKind::CHAR_CLASS) {
    std::size_t p = at + 4;
    while (p < program.size() && program[p] != CLASS_END) {
      p += program[p] == CLASS_SINGLE ? 3 : program[p] == CLASS_RANGE ? 5 : 1;
    }
    return p < program.size() ? p + 1 - at : 0;
  }
  return 4 + kOperandLength[program[at]];
}

const char* NodeKindName(std::uint8_t kind) {
  static constexpr const char* kNames[] = {
      "PROGRAM_END",        "LINE_START",        "MULTILINE_START",    "TEXT_START",
      "LINE_END",           "MULTILINE_END",     "TEXT_END",           "ANY_BUT_NEWLINE",
      "ANY_CHAR",           "CHAR_CLASS",        "REPEAT_SIMPLE",      "REPEAT_COMPLEX",
      "ALTERNATIVE",        "RESERVED_NOOP",     "LITERAL_RUN",        "EMPTY",
      "STAR_SIMPLE",        "PLUS_SIMPLE",       "WORD_CHAR",          "NON_WORD_CHAR",
      "WORD_BOUNDARY",      "NON_WORD_BOUNDARY", "SPACE_CHAR",         "NON_SPACE_CHAR",
      "DIGIT_CHAR",         "NON_DIGIT_CHAR",    "BACK_REFERENCE",     "GROUP_OPEN",
      "GROUP_CLOSE",        "LAZY_NEXT",         "SEARCH_START",       "LOOKAHEAD",
      "NEGATIVE_LOOKAHEAD", "LOOKAHEAD_END",     "REPEAT_COMPLEX_TAIL"};
  return kind <= kMaxNodeKind ? kNames[kind] : "?";
}

std::string Dump(const std::vector<std::uint8_t>& program) {
  std::string out;
  char line[160];
  if (program.empty()) return "(no program)\n";
  std::snprintf(line, sizeof line, "magic=0x%02X size=%zu\n", program[0], program.size());
  out += line;
  std::size_t at = 1;
  while (at < program.size()) {
    if (program[at] == NODE_FILLER && at % 2 == 0) {
      ++at;
      continue;
    }
    const std::uint8_t* node = program.data() + at;
    if (at + 3 > program.size() || node[0] > kMaxNodeKind) {
      std::snprintf(line, sizeof line, "%4zu: byte 0x%02X\n", at, node[0]);
      out += line;
      ++at;
      continue;
    }
    const std::int16_t link = LinkOf(node);
    std::snprintf(line, sizeof line, "%4zu: %s next=%d", at, NodeKindName(node[0]),
                  link == 0 ? 0 : static_cast<int>(at + link));
    out += line;
    const NodeKind kind = KindOf(node);
    std::size_t size = 4 + kOperandLength[node[0]];
    if (kind == NodeKind::LITERAL_RUN) {
      const int n = LiteralLength(node);
      out += " \"";
      for (int i = 0; i < n && at + 4 + i < program.size(); ++i) {
        const std::uint8_t b = node[4 + i];
        if (b >= 0x20 && b < 0x7F) {
          out += static_cast<char>(b);
        } else {
          std::snprintf(line, sizeof line, "\\x%02X", b);
          out += line;
        }
      }
      out += "\"";
      size = 4 + static_cast<std::size_t>(n) + 1;
    } else if (kind == NodeKind::CHAR_CLASS) {
      out += node[3] == CLASS_NEGATED ? " [^" : " [";
      std::size_t p = at + 4;
      while (p < program.size() && program[p] != CLASS_END) {
        if (program[p] == CLASS_SINGLE && p + 2 < program.size()) {
          std::snprintf(line, sizeof line, " %04X", (program[p + 1] << 8) | program[p + 2]);
          p += 3;
        } else if (program[p] == CLASS_RANGE && p + 4 < program.size()) {
          std::snprintf(line, sizeof line, " %04X-%04X", (program[p + 1] << 8) | program[p + 2],
                        (program[p + 3] << 8) | program[p + 4]);
          p += 5;
        } else {
          std::snprintf(line, sizeof line, " ?%02X", program[p]);
          ++p;
        }
        out += line;
      }
      out += " ]";
      size = p + 1 - at;
    } else if (kOperandLength[node[0]] == 2) {
      std::snprintf(line, sizeof line, " group=%u", ArgumentOf(node));
      out += line;
    } else if (kOperandLength[node[0]] == 4) {
      std::snprintf(line, sizeof line, " min=%u max=%u", ArgumentOf(node), RepeatMaxOf(node));
      out += line;
    }
    out += '\n';
    // Nodes that govern another node continue with it (4 + operand bytes on).
    at += size;
  }
  return out;
}

}  // namespace ostrevin::regex
