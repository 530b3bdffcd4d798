// PatternRecord: one compiled pattern command (match, substitution or
// transliteration) together with the results of its last run, and the bits of
// its flags word.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_search.h"
#include "regex/engine_string.h"
#include "regex/match_stacks.h"

namespace ostrevin::regex {

class ReplacementProgram;    // regex/substitution.h
class TranslationPairTable;  // regex/transliteration.h

// Bits of the flags word. The letters of a command set the first group; the
// engine adds the last three.
inline constexpr std::uint32_t kFlagIgnoreCase = 0x20;       // "i"
inline constexpr std::uint32_t kFlagOnce = 0x80;             // "o" (recorded only)
inline constexpr std::uint32_t kFlagGlobal = 0x100;          // "g"
inline constexpr std::uint32_t kFlagMultiLine = 0x1000;      // "m"
inline constexpr std::uint32_t kFlagSingleLine = 0x2000;     // "s" inline modifier (compiler)
inline constexpr std::uint32_t kFlagShiftJis = 0x4000;       // "k"
inline constexpr std::uint32_t kFlagExtended = 0x8000;       // "x" inline modifier (compiler)
inline constexpr std::uint32_t kFlagComplement = 0x40000;    // "c" (tr)
inline constexpr std::uint32_t kFlagDelete = 0x80000;        // "d" (tr)
inline constexpr std::uint32_t kFlagSqueeze = 0x100000;      // "s" (tr)
inline constexpr std::uint32_t kFlagVerbatim = 0x40;         // replacement copied as written
inline constexpr std::uint32_t kKindSubstitution = 0x10000;  // record is an "s" command
inline constexpr std::uint32_t kKindTranslation = 0x20000;   // record is a "tr" command

// Bits of `startFlags`.
inline constexpr std::uint8_t kStartAnchored = 0x01;  // every match starts at a family-1 anchor
inline constexpr std::uint8_t kStartSkipRuns = 0x02;  // first consumer reached through PLUS_SIMPLE
// The pattern begins with an unbounded «.» repeat, greedy or lazy: a match can only
// start where the search begins or right after a line feed (kStartLineStarts),
// or, when the dot takes line feeds too, only where the search begins.
inline constexpr std::uint8_t kStartLineStarts = 0x04;
inline constexpr std::uint8_t kStartSearchStartOnly = 0x08;

// The longest literals a match must hold that the start scans look for.
inline constexpr std::size_t kMostRequiredLiterals = 4;

// The record owns everything it points to except `startClass` (a node inside
// `program`) and the positions (`commandEnd`, `replacementStart/End` point
// into `commandText`; group positions and `subjectBegin/End` into the caller's
// text). Destroying the record releases all of it; PatternFree is `delete`.
struct PatternRecord {
  PatternRecord();
  ~PatternRecord();
  PatternRecord(const PatternRecord&) = delete;
  PatternRecord& operator=(const PatternRecord&) = delete;

  // Result text of the last run, NUL-terminated; null when the run made none.
  std::unique_ptr<char[]> resultStart;
  char* resultEnd = nullptr;  // the NUL that ends the result text
  // The record's copy of its command text, NUL-terminated.
  std::unique_ptr<char[]> commandText;
  const char* commandEnd = nullptr;
  std::unique_ptr<TranslationPairTable> translationTable;  // "tr" records only
  // groupCount + 1 entries each (entry 0: the whole match); null = empty.
  // A group took part only when both its start and its end are set.
  std::vector<const char*> groupStart;
  std::vector<const char*> groupEnd;
  std::int32_t groupCount = 0;
  std::int32_t lastClosedGroup = 0;            // matcher bookkeeping
  std::unique_ptr<EngineString> startLiteral;  // every match begins with these bytes
  const std::uint8_t* startClass = nullptr;    // node in `program` the first character passes
  std::unique_ptr<EngineString> mustLiteral;   // every match contains these bytes
  std::int32_t mustOffset = -1;                // fixed distance match start -> mustLiteral
  std::int32_t patternLength = 0;              // 0: empty pattern (nothing to run)
  std::unique_ptr<char[]> patternText;         // the pattern and a 0x00; null when empty
  // The matcher's case-folded copy of the subject. It is kept for the whole
  // run (all the matches of one substitution) and covers [foldedFrom,
  // foldedTo) of the caller's text; ReleaseRunCache drops it.
  std::unique_ptr<char[]> subjectCopy;
  const char* foldedFrom = nullptr;
  const char* foldedTo = nullptr;
  // The searches for the start literal and for each required literal over
  // the text of the run ([base, end): the caller's text or its folded copy),
  // made by its first call and kept for the later ones as the folded copy
  // is, so that a search goes on where the last one stopped; ReleaseRunCache
  // drops them.
  struct RunSearches {
    const char* base = nullptr;
    const char* end = nullptr;
    std::optional<ByteSearch> start;
    std::vector<ByteSearch> required;
  };
  RunSearches runSearches;
  const char* subjectBegin = nullptr;  // beginning of text of the last successful match
  const char* subjectEnd = nullptr;    // text end of the last successful match
  // The command's flag letters as passed to the compiler, plus the kind bits.
  std::uint32_t flags = 0;
  std::int32_t costly = 0;                 // 1 when the costliness score reached 10
  const char* replacementStart = nullptr;  // "s" records: replacement inside commandText
  const char* replacementEnd = nullptr;
  std::unique_ptr<ReplacementProgram> replacementProgram;  // null: copied verbatim
  std::uint8_t startFlags = 0;                             // kStart... bits above
  std::uint8_t foldCase = 0;                               // "i" in force when compilation ended
  // "m" in force when compilation ended (letter or inline «(?m)»): the matcher
  // runs multi-line from this, not from `flags`.
  std::uint8_t multiLine = 0;
  // The program area: PROGRAM_MAGIC, then the nodes (regex/program.h). Empty
  // for the empty pattern and for transliteration records.
  std::vector<std::uint8_t> program;

  // Derived by the compiler for speed; they never change a result.
  // Bytes a match can begin with; without it (a pattern that can match the
  // empty string, a back-reference first...) every position is a candidate.
  bool hasFirstBytes = false;
  std::array<std::uint8_t, 256> firstBytes{};
  // Membership of the single-byte codes 0x00-0xFF for each CHAR_CLASS node.
  struct ClassTable {
    std::int32_t offset;  // of the node in `program`
    std::array<std::uint8_t, 256> member;
  };
  std::vector<ClassTable> classTables;
  // One entry per REPEAT_COMPLEX node, in program order (regex/repeat_analysis.h).
  struct RepeatShape {
    std::int32_t offset;  // of the node in `program`
    // Bytes every iteration takes, 0 when they vary: such a repeat backs off
    // one width at a time instead of keeping a choice point per iteration.
    std::int32_t width = 0;
    // Index of the repeat's failure memo, or -1 when its failures may
    // depend on more than the position.
    std::int32_t memo = -1;
    struct GroupSpan {
      std::int32_t group;
      std::int32_t open;  // bytes from the start of the iteration
      std::int32_t close;
    };
    std::vector<GroupSpan> groups;  // the groups of a fixed-width body
  };
  std::vector<RepeatShape> repeatShapes;
  std::int32_t memoRepeats = 0;  // repeats with a memo index
  // Literals every match holds, each at least `minOffset` bytes after the
  // match start (the start literal itself is not among them). A start from
  // which one of them can no longer be reached is not tried.
  struct RequiredLiteral {
    std::string bytes;
    std::int32_t minOffset;
  };
  std::vector<RequiredLiteral> requiredLiterals;  // at most kMostRequiredLiterals
  // Set when, in byte mode, the pattern is one greedy unbounded repeat of a
  // one-byte node («[ァ-ヶ]+», «(\d+)», «^\s+» under "m"), at least once,
  // inside groups that span it and behind at most a leading line start: the
  // leftmost match is the first long enough run of member bytes, and the
  // matcher finds it without the interpreter.
  struct ByteRun {
    std::array<std::uint8_t, 256> member;  // of the caller's bytes (folded under "i")
    std::int32_t minimum = 1;
    bool lineStart = false;  // the run must start where «^» holds
    // The member bytes as at most kMostRanges ranges first .. first + span
    // (so that sixteen bytes are tested at once), or 0 ranges when they
    // need more.
    static constexpr int kMostRanges = 4;
    std::int32_t ranges = 0;
    std::array<std::uint8_t, kMostRanges> rangeFirst{};
    std::array<std::uint8_t, kMostRanges> rangeSpan{};
  };
  std::optional<ByteRun> byteRun;
  // The matcher's stacks, reused from one match to the next.
  MatchStacks matchStacks;
};

}  // namespace ostrevin::regex
