// Command grammar and the entry points PatternExecute, PatternTranslate and
// PatternFree.
#include "regex/pattern_command.h"

#include "core/shift_jis.h"

namespace ostrevin::regex {

namespace {

constexpr const char* kBadStart = "do not start 'm' or 's' or 'tr'";
constexpr const char* kUnmatchedSeparator = "unmatch separater";

}  // namespace

std::uint32_t ParseFlagLetters(std::string_view letters) {
  std::uint32_t flags = 0;
  for (const char c : letters) {
    switch (c) {
      case 'i':
        flags |= 0x20;
        break;
      case 'o':
        flags |= 0x80;
        break;
      case 'g':
        flags |= 0x100;
        break;
      case 'm':
        flags |= 0x1000;
        break;
      case 'k':
        flags |= 0x4000;
        break;
      case 'c':
        flags |= 0x40000;
        break;
      case 'd':
        flags |= 0x80000;
        break;
      case 's':
        flags |= 0x100000;
        break;
      default:
        break;
    }
  }
  return flags;
}

// Grammar: kind prefix, separator, first part, separator, [second part,
// separator,] flag letters. Scanning the parts:
//   - a Shift-JIS lead byte and the byte after it are one character in every
//     mode, so a trail byte equal to the separator or to "\" ends nothing;
//   - "\\" escapes nothing further; "\/" is stepped over whatever the
//     separator is; "\" before the separator makes it ordinary text;
//   - the first unescaped separator ends the first part, the second ends the
//     second part. A match command without a second separator takes its
//     flags right after the first one ("m/abc/gi"); in "m/a/b/i" the "b" is
//     ignored.
std::variant<CommandParts, const char*> SplitPatternCommand(std::string_view command) {
  CommandParts parts;
  std::size_t separator_at = 0;
  if (command.starts_with('/')) {
    parts.kind = CommandKind::kMatch;
    separator_at = 0;
  } else if (command.starts_with('m')) {
    parts.kind = CommandKind::kMatch;
    separator_at = 1;
  } else if (command.starts_with('s')) {
    parts.kind = CommandKind::kSubstitution;
    separator_at = 1;
  } else if (command.starts_with("tr")) {
    parts.kind = CommandKind::kTransliteration;
    separator_at = 2;
  } else {
    return kBadStart;
  }
  if (separator_at + 1 >= command.size()) return kUnmatchedSeparator;
  const char separator = command[separator_at];
  parts.first_begin = separator_at + 1;

  constexpr int kNone = -1;
  int previous = kNone;
  int ends_found = 0;
  std::size_t i = parts.first_begin;
  while (i < command.size()) {
    const char c = command[i];
    if (sjis::IsLeadByte(static_cast<std::uint8_t>(c))) {
      i += i + 1 < command.size() ? 2 : 1;
      previous = kNone;
      continue;
    }
    if (c == '\\' && previous == '\\') {
      previous = kNone;
    } else if (c == '/' && previous == '\\') {
      previous = kNone;
    } else if (c == separator && previous != '\\') {
      if (++ends_found == 1) {
        parts.first_end = i;
        parts.second_begin = i + 1;
        previous = kNone;
      } else {
        parts.second_end = i;
        break;
      }
    } else {
      previous = static_cast<unsigned char>(c);
    }
    ++i;
  }
  if (ends_found == 0) return kUnmatchedSeparator;
  std::size_t flags_begin = 0;
  if (ends_found == 1) {
    if (parts.kind != CommandKind::kMatch) return kUnmatchedSeparator;
    flags_begin = parts.second_begin;
    parts.second_begin = parts.second_end = parts.first_end;
  } else {
    flags_begin = parts.second_end + 1;
  }
  parts.flags = ParseFlagLetters(command.substr(flags_begin));
  return parts;
}

}  // namespace ostrevin::regex
