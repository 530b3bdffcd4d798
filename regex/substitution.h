// Substitution ("s" commands): the compiled replacement and the loop that
// builds the new text from the matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrevin::regex {

struct PatternRecord;

// A compiled replacement: literal runs (escapes resolved) and group
// references, used in order. Group 0 is the whole match.
class ReplacementProgram {
 public:
  struct Entry {
    bool is_group;
    std::int32_t group;    // group entries
    std::uint32_t offset;  // literal entries: start in Literals()
    std::uint32_t length;  // literal entries: at least 1
  };

  void AppendLiteral(std::string_view bytes);
  void AppendGroup(std::int32_t group);

  [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }
  [[nodiscard]] std::string_view Literal(const Entry& entry) const {
    return std::string_view(literals_).substr(entry.offset, entry.length);
  }

 private:
  std::vector<Entry> entries_;
  std::string literals_;
};

// Compiles a replacement text. Returns no program when the replacement is to
// be copied exactly as written: when it is shorter than two bytes, or holds no
// backslash escape, no "$1".."$9" and no "$&".
[[nodiscard]] std::optional<ReplacementProgram> CompileReplacement(std::string_view replacement);

// Runs a substitution record over [text_start, text_end): the count of
// replacements; 0 when nothing matched or the run failed (the message buffer
// then holds "out of space buf", "Substitution loop" or the matcher's
// message). After a non-zero count the record's result text is the new text,
// or null when the new text is empty.
[[nodiscard]] std::int32_t RunSubstitution(PatternRecord& record, const char* text_start,
                                           const char* text_end, char* message);

}  // namespace ostrevin::regex
