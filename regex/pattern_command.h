// The pattern-command interface: the command grammar ("m", "s", "tr") and the
// entry points that compile, run and release PatternRecords.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

namespace ostrevin::regex {

struct PatternRecord;

enum class CommandKind { kMatch, kSubstitution, kTransliteration };

// A command text cut into its parts. Positions are offsets into the command
// text; the parts keep their backslashes (each part's compiler reads them).
struct CommandParts {
  CommandKind kind = CommandKind::kMatch;
  std::size_t first_begin = 0;
  std::size_t first_end = 0;
  std::size_t second_begin = 0;  // substitution and transliteration only
  std::size_t second_end = 0;
  std::uint32_t flags = 0;  // bits of the flag letters
};

// The flags word of a run of flag letters; unknown letters are ignored.
[[nodiscard]] std::uint32_t ParseFlagLetters(std::string_view letters);

// Splits a command text, or gives the parser's message ("do not start 'm' or
// 's' or 'tr'", "unmatch separater").
[[nodiscard]] std::variant<CommandParts, const char*> SplitPatternCommand(std::string_view command);

// Parses `length` bytes of `command` and compiles them into a new record.
// Returns null on failure, with the parser's or the compiler's message in
// `message` (which a compiler may leave empty).
[[nodiscard]] PatternRecord* ParsePatternCommand(const char* command, std::size_t length,
                                                 char* message);

}  // namespace ostrevin::regex
