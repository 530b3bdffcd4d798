// Command grammar and the entry points PatternExecute, PatternTranslate and
// PatternFree.
#include "regex/pattern_command.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/shift_jis.h"
#include "regex/compiler.h"
#include "regex/engine_error.h"
#include "regex/matcher.h"
#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"
#include "regex/substitution.h"
#include "regex/transliteration.h"

namespace ostrevin::regex {

namespace {

constexpr const char* kBadStart = "do not start 'm' or 's' or 'tr'";
constexpr const char* kUnmatchedSeparator = "unmatch separater";

bool MessageWritten(const char* message) { return message[0] != '\0'; }

std::unique_ptr<PatternRecord> BuildRecord(char* base, const CommandParts& parts, char* message) {
  if (parts.kind == CommandKind::kTransliteration) {
    return std::unique_ptr<PatternRecord>(CompileTranslation(
        base + parts.first_begin, base + parts.first_end, base + parts.second_begin,
        base + parts.second_end, parts.flags, message));
  }
  std::uint32_t flags = parts.flags;
  std::unique_ptr<PatternRecord> record =
      CompilePattern(base + parts.first_begin, base + parts.first_end, flags, message);
  if (!record) return nullptr;
  if (parts.kind == CommandKind::kSubstitution) {
    record->flags |= kKindSubstitution;
    record->replacementStart = base + parts.second_begin;
    record->replacementEnd = base + parts.second_end;
    std::optional<ReplacementProgram> program = CompileReplacement(
        std::string_view(record->replacementStart, parts.second_end - parts.second_begin));
    if (program) {
      record->flags &= ~kFlagVerbatim;
      record->replacementProgram = std::make_unique<ReplacementProgram>(std::move(*program));
    } else {
      record->flags |= kFlagVerbatim;
    }
  }
  return record;
}

// The slot's record when it is of the wanted kind and was compiled from the
// same command text.
bool Reusable(const PatternRecord* record, const char* command, std::size_t length,
              bool translation) {
  if (record == nullptr || !record->commandText) return false;
  if (((record->flags & kKindTranslation) != 0) != translation) return false;
  const auto stored = static_cast<std::size_t>(record->commandEnd - record->commandText.get());
  return stored == length && std::memcmp(record->commandText.get(), command, length) == 0;
}

// Shared by both run entry points: checks the arguments and
// leaves the record to run in the slot. Returns false with the message (if
// any) written when there is nothing to run.
bool PrepareRecord(const char* command, const char* text_start, const char* text_end,
                   PatternRecord** slot, char* message, bool translation) {
  message[0] = '\0';
  if (slot == nullptr) {
    CopyMessage(message, "invalid record parameter");
    return false;
  }
  if (text_start == nullptr || text_end == nullptr || text_start >= text_end) {
    CopyMessage(message, "invalid target parameter");
    return false;
  }
  if (command == nullptr || command[0] == '\0') {
    if (*slot == nullptr) {
      CopyMessage(message, "invalid reg parameter");
      return false;
    }
    return true;
  }
  const std::size_t length = std::strlen(command);
  if (Reusable(*slot, command, length, translation)) return true;
  PatternFree(*slot);
  *slot = nullptr;
  *slot = ParsePatternCommand(command, length, message);
  return *slot != nullptr;
}

void ReleaseResult(PatternRecord& record) {
  record.resultStart.reset();
  record.resultEnd = nullptr;
}

}  // namespace

std::uint32_t ParseFlagLetters(std::string_view letters) {
  std::uint32_t flags = 0;
  for (const char c : letters) {
    switch (c) {
      case 'i':
        flags |= kFlagIgnoreCase;
        break;
      case 'o':
        flags |= kFlagOnce;
        break;
      case 'g':
        flags |= kFlagGlobal;
        break;
      case 'm':
        flags |= kFlagMultiLine;
        break;
      case 'k':
        flags |= kFlagShiftJis;
        break;
      case 'c':
        flags |= kFlagComplement;
        break;
      case 'd':
        flags |= kFlagDelete;
        break;
      case 's':
        flags |= kFlagSqueeze;
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

PatternRecord* ParsePatternCommand(const char* command, std::size_t length, char* message) {
  if (message != nullptr) message[0] = '\0';
  std::unique_ptr<char[]> copy;
  try {
    copy = std::make_unique_for_overwrite<char[]>(length + 1);
  } catch (const std::bad_alloc&) {
    CopyMessage(message, "precompile out of space");
    return nullptr;
  }
  std::memcpy(copy.get(), command, length);
  copy[length] = '\0';
  try {
    const auto split = SplitPatternCommand(std::string_view(copy.get(), length));
    if (const auto* failure = std::get_if<const char*>(&split)) {
      CopyMessage(message, *failure);
      return nullptr;
    }
    std::unique_ptr<PatternRecord> record =
        BuildRecord(copy.get(), std::get<CommandParts>(split), message);
    if (!record) return nullptr;
    record->commandEnd = copy.get() + length;
    record->commandText = std::move(copy);
    return record.release();
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (const std::bad_alloc&) {
    CopyMessage(message, "lack of memory");
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return nullptr;
}

std::int32_t PatternExecute(const char* command, const char* text_start, const char* text_end,
                            PatternRecord** slot, char* message) {
  if (message == nullptr) return -1;
  try {
    if (!PrepareRecord(command, text_start, text_end, slot, message, false)) return -1;
    PatternRecord& record = **slot;
    ReleaseResult(record);
    ReleaseRunCache(record);
    if (record.patternLength == 0) return -1;
    if ((record.flags & kKindSubstitution) != 0) {
      const std::int32_t count = RunSubstitution(record, text_start, text_end, message);
      ReleaseRunCache(record);
      return count;
    }
    const int found = MatchPattern(&record, text_start, text_end, text_start, 0, message);
    ReleaseRunCache(record);
    if (found == 1 && record.groupCount >= 1 && record.groupStart.size() > 1) {
      const char* start = record.groupStart[1];
      const char* end = record.groupEnd[1];
      if (start != nullptr && end != nullptr && end > start) {
        const auto n = static_cast<std::size_t>(end - start);
        try {
          record.resultStart = std::make_unique_for_overwrite<char[]>(n + 1);
        } catch (const std::bad_alloc&) {
          CopyMessage(message, "match out of space");
          return -1;
        }
        std::memcpy(record.resultStart.get(), start, n);
        record.resultStart[n] = '\0';
        record.resultEnd = record.resultStart.get() + n;
      }
    }
    return MessageWritten(message) ? -1 : found;
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return -1;
}

std::int32_t PatternTranslate(const char* command, const char* text_start, const char* text_end,
                              PatternRecord** slot, char* message) {
  if (message == nullptr) return -1;
  try {
    if (!PrepareRecord(command, text_start, text_end, slot, message, true)) return -1;
    PatternRecord& record = **slot;
    ReleaseResult(record);
    if ((record.flags & kKindTranslation) == 0) {
      PatternFree(*slot);
      *slot = nullptr;
      CopyMessage(message, "no translate parameter");
      return -1;
    }
    const std::int32_t count = RunTranslation(record, text_start, text_end);
    return MessageWritten(message) ? -1 : count;
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (const std::bad_alloc&) {
    CopyMessage(message, "lack of memory");
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return -1;
}

void PatternFree(PatternRecord* record) {
  // The record owns its command copy, result text, pattern copy, literals,
  // replacement program, pair table and group arrays.
  std::unique_ptr<PatternRecord> owned(record);
}

}  // namespace ostrevin::regex
