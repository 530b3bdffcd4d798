// The matcher's driver: the start-position search that uses the record's
// start facts (must literal, start literal, start class, anchoring) and hands
// each candidate position to the backtracking interpreter (interpreter.h).
#include "regex/matcher.h"

#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "core/shift_jis.h"
#include "regex/byte_run.h"
#include "regex/engine_error.h"
#include "regex/interpreter.h"
#include "regex/match_stacks.h"
#include "regex/program.h"

namespace ostrevin::regex {

namespace {

// The folded copy of [text_begin, text_end] (the NUL at the end included):
// ASCII capitals become small letters; in Shift-JIS mode a lead byte with a
// byte after it in the range is stepped over together with that byte. A new
// run (text_start == text_begin) always folds afresh; the later calls of the
// same run (a global substitution moving along the text) reuse the copy.
const char* FoldedSubject(PatternRecord& record, const char* text_start, const char* text_begin,
                          const char* text_end, bool shift_jis) {
  const bool reusable = record.subjectCopy != nullptr && text_start != text_begin &&
                        record.foldedFrom == text_begin && record.foldedTo == text_end;
  if (!reusable) {
    ReleaseRunCache(record);
    const std::size_t size = static_cast<std::size_t>(text_end - text_begin);
    try {
      record.subjectCopy = std::make_unique_for_overwrite<char[]>(size + 1);
    } catch (const std::bad_alloc&) {
      throw EngineError("out of space fold copy");
    }
    char* copy = record.subjectCopy.get();
    std::memcpy(copy, text_begin, size);
    copy[size] = *text_end;
    if (!shift_jis) {
      // Branch-free, so that the compiler can fold many bytes at a time.
      auto* bytes = reinterpret_cast<std::uint8_t*>(copy);
      for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        bytes[i] =
            static_cast<std::uint8_t>(b + (static_cast<std::uint8_t>(b - 'A') < 26 ? 32 : 0));
      }
    } else {
      for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = static_cast<std::uint8_t>(copy[i]);
        if (sjis::IsLeadByte(b) && i + 1 < size) {
          ++i;
        } else if (b >= 'A' && b <= 'Z') {
          copy[i] = static_cast<char>(b + 32);
        }
      }
    }
    record.foldedFrom = text_begin;
    record.foldedTo = text_end;
  }
  return record.subjectCopy.get() + (text_start - text_begin);
}

// The next start position, at or after a given one, where a must literal
// stands at the pattern's fixed offset from it (byte mode). Searches on only
// when asked past the occurrence it last found.
class MustLiteralGuide {
 public:
  MustLiteralGuide(const EngineString* literal, const char* first_found, std::int32_t offset,
                   const char* end, bool multi_line)
      : literal_(literal),
        found_(first_found),
        offset_(offset),
        end_(end),
        multi_line_(multi_line) {}

  [[nodiscard]] bool active() const { return literal_ != nullptr; }

  // Null when the literal does not stand anywhere from p + offset on.
  const char* NextAtOrAfter(const char* p) {
    if (found_ == nullptr) return nullptr;
    if (end_ - p < offset_) return found_ = nullptr;
    const char* want = p + offset_;
    if (found_ < want) {
      found_ = FindLiteral(want, end_, *literal_, multi_line_, false);
      if (found_ == nullptr) return nullptr;
    }
    return found_ - offset_;
  }

 private:
  const EngineString* literal_;
  const char* found_;
  std::int32_t offset_;
  const char* end_;
  bool multi_line_;
};

// Ends the start scans once a literal that every match holds can no longer
// be reached: from a start p, each must stand somewhere from p + its least
// offset on. The searches only move forwards with p, so each literal is
// looked for once over the text however many starts are tried; they compare
// exact bytes on every byte position (trail bytes included), as the
// interpreter's literal nodes do.
class RequiredLiterals {
 public:
  RequiredLiterals(const std::vector<PatternRecord::RequiredLiteral>& literals,
                   PatternRecord::RunSearches& searches, const char* end)
      : literals_(literals), searches_(searches), end_(end) {}

  // False when no match can start at p or anywhere after it.
  bool Reachable(const char* p) {
    for (std::size_t i = 0; i < literals_.size() && i < kMostRequiredLiterals; ++i) {
      const std::string& bytes = literals_[i].bytes;
      const std::ptrdiff_t offset = literals_[i].minOffset;
      if (end_ - p < offset + static_cast<std::ptrdiff_t>(bytes.size())) return false;
      const char* want = p + offset;
      if (found_[i] != nullptr && found_[i] >= want) continue;
      if (none_from_[i] != nullptr && want >= none_from_[i]) return false;
      found_[i] = bytes.empty() ? want
                                : FindBytesWith(searches_.required[i], searches_.base, want, end_,
                                                bytes.size(), false);
      if (found_[i] == nullptr) {
        none_from_[i] = want;
        return false;
      }
    }
    return true;
  }

 private:
  const std::vector<PatternRecord::RequiredLiteral>& literals_;
  PatternRecord::RunSearches& searches_;
  const char* end_;
  std::array<const char*, kMostRequiredLiterals> found_{};      // an occurrence, or null
  std::array<const char*, kMostRequiredLiterals> none_from_{};  // none from here on, or null
};

// Keeps the stacks' storage for the next match unless a deep run made it big.
class StackTrimmer {
 public:
  explicit StackTrimmer(MatchStacks& stacks) : stacks_(stacks) {}
  StackTrimmer(const StackTrimmer&) = delete;
  StackTrimmer& operator=(const StackTrimmer&) = delete;
  ~StackTrimmer() {
    constexpr std::size_t kKeepBytes = std::size_t{1} << 20;
    if (stacks_.frames.capacity() * sizeof(Frame) > kKeepBytes) {
      std::vector<Frame>().swap(stacks_.frames);
    }
    if (stacks_.saves.capacity() * sizeof(std::int32_t) > kKeepBytes) {
      std::vector<std::int32_t>().swap(stacks_.saves);
    }
    if (stacks_.repeats.capacity() * sizeof(RepeatFrame) > kKeepBytes) {
      std::vector<RepeatFrame>().swap(stacks_.repeats);
    }
  }

 private:
  MatchStacks& stacks_;
};

// The run's searches over [base, end): kept from an earlier call of the
// same run (one that did not start at the beginning of the text, as for the
// folded copy), made afresh otherwise.
PatternRecord::RunSearches& RunSearchesFor(PatternRecord& r, const char* base, const char* end,
                                           bool later_call) {
  PatternRecord::RunSearches& searches = r.runSearches;
  if (later_call && searches.base == base && searches.end == end) return searches;
  searches.base = base;
  searches.end = end;
  searches.start.reset();
  searches.required.clear();
  const std::string_view text(base, static_cast<std::size_t>(end - base));
  if (r.startLiteral != nullptr && r.startLiteral->length() > 0) {
    searches.start.emplace(text,
                           std::string_view(r.startLiteral->data(),
                                            static_cast<std::size_t>(r.startLiteral->length())));
  }
  for (std::size_t i = 0; i < r.requiredLiterals.size() && i < kMostRequiredLiterals; ++i) {
    // An empty literal is never looked for; its search stands in its place.
    const std::string& bytes = r.requiredLiterals[i].bytes;
    searches.required.emplace_back(text, bytes.empty() ? std::string_view(" ", 1) : bytes);
  }
  return searches;
}

}  // namespace

void ReleaseRunCache(PatternRecord& record) {
  record.runSearches = PatternRecord::RunSearches{};
  record.subjectCopy.reset();
  record.foldedFrom = nullptr;
  record.foldedTo = nullptr;
}

namespace {

// The search of every pattern but a ByteRun one: the start-position scans
// and the interpreter. Out of line, so that the run patterns' short path
// does not pay for its frame.
[[gnu::noinline]] int Search(PatternRecord& r, const char* text_start, const char* text_end,
                             const char* text_begin, std::int32_t min_end_offset,
                             std::uint8_t previous, bool multi_line, char* message) {
  try {
    const bool shift_jis = (r.flags & kFlagShiftJis) != 0;
    const bool folded = r.foldCase != 0;
    const char* start = text_start;
    const char* end = text_end;
    if (folded) {
      start = FoldedSubject(r, text_start, text_begin, text_end, shift_jis);
      end = start + (text_end - text_start);
    }

    const char* first = start;
    std::ptrdiff_t back_off = 0;
    const char* must_found = nullptr;
    if (r.mustLiteral != nullptr &&
        ((r.startFlags & kStartAnchored) == 0 || (multi_line && r.mustOffset >= 0))) {
      EngineString& must = *r.mustLiteral;
      const char* found = FindLiteral(start, end, must, multi_line, shift_jis);
      if (found == nullptr) {
        must.usefulness += 1;
        return 0;
      }
      must_found = found;
      if (r.mustOffset >= 0) {
        // In Shift-JIS mode the nodes before the literal may take two bytes
        // each, so the offset only bounds the scan's end there.
        if (!shift_jis) first = found - r.mustOffset < start ? start : found - r.mustOffset;
        back_off = must.length() + r.mustOffset;
      } else {
        if (r.costly == 0) must.usefulness -= 1;
        if (must.usefulness < 0) {
          r.mustLiteral.reset();
        } else {
          back_off = must.length();
        }
      }
    }
    if (shift_jis && first != start && ShiftJisPositionType(start, first) == 2) first = start;
    const char* limit = back_off == 0 ? end : end - (back_off - 1);
    if (limit < start) limit = start;

    // A text without a literal every match holds is rejected before any try.
    PatternRecord::RunSearches& searches =
        RunSearchesFor(r, start - (text_start - text_begin), end, text_start != text_begin);
    RequiredLiterals required(r.requiredLiterals, searches, end);
    if (!required.Reachable(start)) return 0;

    const StackTrimmer trimmer(r.matchStacks);
    Interpreter matcher(r, start, end, previous, multi_line, shift_jis);
    matcher.SetMinimumEnd(start + min_end_offset);
    const char* found = nullptr;
    // True ends the scan: a match at p, or none can start at p or later.
    auto attempt = [&](const char* p) {
      if (!required.Reachable(p)) return true;
      if (matcher.TryAt(p)) {
        found = p;
        return true;
      }
      return false;
    };
    auto next_character = [&](const char* p) {
      return shift_jis && sjis::IsLeadByte(static_cast<std::uint8_t>(*p)) && p + 1 < end ? p + 2
                                                                                         : p + 1;
    };
    // In byte mode a must literal at a fixed offset tells where a match can
    // start: only where the literal stands that many bytes later. The scans
    // below jump from one such place to the next instead of trying every
    // position between; the positions passed over could not match.
    MustLiteralGuide guide(
        must_found != nullptr && r.mustOffset >= 0 && !shift_jis ? r.mustLiteral.get() : nullptr,
        must_found, r.mustOffset, end, multi_line);

    if ((r.startFlags & kStartAnchored) != 0) {
      if (!attempt(start) && multi_line) {
        const char* p = first > start ? first - 1 : first;
        while (p < limit) {
          const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(limit - p));
          if (nl == nullptr) break;
          p = static_cast<const char*>(nl) + 1;
          if (p < limit && attempt(p)) break;
        }
      }
    } else if ((r.startFlags & (kStartLineStarts | kStartSearchStartOnly)) != 0) {
      // A leading «.» repeat: where the search begins and, when the
      // dot stops at line feeds, right after each line feed.
      const bool line_feeds = (r.startFlags & kStartLineStarts) != 0;
      auto next_line = [&](const char* from) -> const char* {
        if (!line_feeds || from >= limit) return nullptr;
        const void* nl = std::memchr(from, '\n', static_cast<std::size_t>(limit - from));
        return nl == nullptr ? nullptr : static_cast<const char*>(nl) + 1;
      };
      const char* p = first == start || first[-1] == '\n' ? first : next_line(first);
      while (p != nullptr && p <= limit && !attempt(p)) p = next_line(p);
    } else if (r.startLiteral != nullptr) {
      const EngineString& literal = *r.startLiteral;
      if ((r.startFlags & kStartSkipRuns) != 0) {
        const char c = literal.length() > 0 ? literal.data()[0] : '\0';
        const bool pair = shift_jis && sjis::IsLeadByte(static_cast<std::uint8_t>(c));
        const char* p = first;
        while (p < end) {
          if (!shift_jis) {
            const void* hit = std::memchr(p, c, static_cast<std::size_t>(end - p));
            if (hit == nullptr) break;
            p = static_cast<const char*>(hit);
          } else if (*p != c) {
            p = next_character(p);
            continue;
          }
          if (attempt(p)) break;
          while (p < end && *p == c) p += pair && p + 1 < end ? 2 : 1;
          if (p < end) p = shift_jis ? next_character(p) : p + 1;
        }
      } else {
        const char* p = first;
        // A pattern that is nothing but this literal matches wherever the
        // literal is found: no need to run the program there.
        const std::uint8_t* top = r.program.data() + 1;
        const std::uint8_t* body = GovernedNode(top);
        const bool whole_literal = literal.length() > 0 && NextNode(top) != nullptr &&
                                   KindOf(body) == NodeKind::LITERAL_RUN &&
                                   NextNode(body) == NextNode(top) &&
                                   LiteralLength(body) == literal.length();
        while (p <= end) {
          const char* hit =
              literal.length() == 0
                  ? p
                  : FindBytesWith(*searches.start, searches.base, p, end,
                                  static_cast<std::size_t>(literal.length()), shift_jis);
          if (hit == nullptr) break;
          if (whole_literal && hit + literal.length() >= start + min_end_offset) {
            r.lastClosedGroup = 0;
            r.groupStart[0] = hit;
            r.groupEnd[0] = hit + literal.length();
            found = hit;
            break;
          }
          if (attempt(hit)) break;
          if (hit >= end) break;
          p = next_character(hit);
        }
      }
    } else if (r.startClass != nullptr) {
      const std::uint8_t* node = r.startClass;
      const NodeKind kind = KindOf(node);
      const bool skip_runs = (r.startFlags & kStartSkipRuns) != 0;
      if (kind == NodeKind::WORD_BOUNDARY || kind == NodeKind::NON_WORD_BOUNDARY) {
        const bool want_change = kind == NodeKind::WORD_BOUNDARY;
        const char* walk_limit = limit;
        if (back_off > 0 && walk_limit > start) --walk_limit;
        const char* p = first;
        bool word_before = IsWordByte(p == start ? previous : static_cast<std::uint8_t>(p[-1]));
        bool done = false;
        while (p < walk_limit) {
          if (guide.active()) {
            const char* candidate = guide.NextAtOrAfter(p);
            if (candidate == nullptr || candidate >= walk_limit) break;
            if (candidate != p) {
              p = candidate;
              word_before = IsWordByte(static_cast<std::uint8_t>(p[-1]));
            }
          }
          const bool word_here = IsWordByte(static_cast<std::uint8_t>(*p));
          if ((word_here != word_before) == want_change && attempt(p)) {
            done = true;
            break;
          }
          const char* next = next_character(p);
          word_before = IsWordByte(static_cast<std::uint8_t>(next[-1]));
          p = next;
        }
        if (!done && (back_off > 0 || word_before == want_change)) attempt(walk_limit);
      } else {
        const std::uint8_t* class_table = nullptr;
        for (const auto& table : r.classTables) {
          if (r.program.data() + table.offset == node) class_table = table.member.data();
        }
        bool in_run = false;
        for (const char* p = first; p < limit; p = next_character(p)) {
          // Skipping runs needs every position of a run seen.
          if (guide.active() && !skip_runs) {
            p = guide.NextAtOrAfter(p);
            if (p == nullptr || p >= limit) break;
          }
          const std::uint8_t b = static_cast<std::uint8_t>(*p);
          bool passes;
          switch (kind) {
            case NodeKind::CHAR_CLASS: {
              std::uint16_t code = b;
              if (shift_jis && sjis::IsLeadByte(b) && p + 1 < end && p[1] != '\0') {
                code = static_cast<std::uint16_t>((b << 8) | static_cast<std::uint8_t>(p[1]));
              }
              passes = code < 256 && class_table != nullptr ? class_table[code] != 0
                                                            : ClassContains(code, node);
              break;
            }
            case NodeKind::WORD_CHAR:
              passes = IsWordByte(b);
              break;
            case NodeKind::NON_WORD_CHAR:
              passes = !IsWordByte(b);
              break;
            case NodeKind::SPACE_CHAR:
              passes = IsSpaceByte(b);
              break;
            case NodeKind::NON_SPACE_CHAR:
              passes = !IsSpaceByte(b);
              break;
            case NodeKind::DIGIT_CHAR:
              passes = IsDigitByte(b);
              break;
            case NodeKind::NON_DIGIT_CHAR:
              passes = !IsDigitByte(b);
              break;
            default:
              passes = false;
              break;
          }
          if (passes && (!skip_runs || !in_run) && attempt(p)) break;
          in_run = passes;
        }
      }
    } else if (r.hasFirstBytes) {
      // Only where the first byte of a match can stand (a match must consume,
      // so none starts at the end).
      const std::uint8_t* bytes = r.firstBytes.data();
      for (const char* p = first; p < limit;) {
        if (guide.active()) {
          p = guide.NextAtOrAfter(p);
          if (p == nullptr || p >= limit) break;
        }
        if (!shift_jis) {
          while (p < limit && bytes[static_cast<std::uint8_t>(*p)] == 0) ++p;
          if (p >= limit) break;
        } else if (bytes[static_cast<std::uint8_t>(*p)] == 0) {
          p = next_character(p);
          continue;
        }
        if (attempt(p)) break;
        p = next_character(p);
      }
    } else {
      for (const char* p = first; p <= limit; p = next_character(p)) {
        if (guide.active()) {
          p = guide.NextAtOrAfter(p);
          if (p == nullptr || p > limit) break;
        }
        if (attempt(p) || p >= limit) break;
      }
    }

    if (found == nullptr) return 0;
    r.subjectEnd = text_end;
    r.subjectBegin = text_begin;
    if (folded) {
      // Positions found in the copy move to the caller's text.
      const std::ptrdiff_t shift = text_start - start;
      for (std::int32_t g = 0; g <= r.groupCount; ++g) {
        if (r.groupStart[g] != nullptr) r.groupStart[g] += shift;
        if (r.groupEnd[g] != nullptr) r.groupEnd[g] += shift;
      }
    }
    return 1;
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return 0;
}

}  // namespace

int MatchPattern(PatternRecord* record, const char* text_start, const char* text_end,
                 const char* text_begin, std::int32_t min_end_offset, char* message) {
  if (message != nullptr) message[0] = '\0';
  if (record == nullptr || text_start == nullptr || text_end == nullptr) return 0;
  if (text_start >= text_end) return 0;
  if (text_begin == nullptr || text_begin > text_start) text_begin = text_start;
  PatternRecord& r = *record;
  if (r.program.empty() || r.program[0] != PROGRAM_MAGIC) {
    CopyMessage(message, "corrupted regexp program");
    return 0;
  }
  if (text_end - text_begin > 0x7FFFFFF0) {
    CopyMessage(message, "text too long for regexp");
    return 0;
  }
  // A run pattern's match ends after its start, so never before the least
  // end a substitution asks for (the start, or one byte after it).
  if (r.byteRun && min_end_offset <= 1) {
    return ByteRunSearch(r, text_begin, text_end).Find(text_start) ? 1 : 0;
  }
  const bool multi_line = r.multiLine != 0 || (r.flags & kFlagMultiLine) != 0;
  std::uint8_t previous = '\n';
  if (text_start != text_begin) {
    previous = static_cast<std::uint8_t>(text_start[-1]);
    if (!multi_line && previous == '\n') previous = 0;
  }
  return Search(r, text_start, text_end, text_begin, min_end_offset, previous, multi_line, message);
}

}  // namespace ostrevin::regex
