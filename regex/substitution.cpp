// Substitution: replacement compiler and the substitution loop.
#include "regex/substitution.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "core/shift_jis.h"
#include "regex/byte_run.h"
#include "regex/engine_error.h"
#include "regex/matcher.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {

namespace {

bool IsLead(char c) { return sjis::IsLeadByte(static_cast<std::uint8_t>(c)); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the run of decimal digits at `p` as a group number. Numbers too large
// for any group saturate; they refer to no group either way.
std::int32_t ReadGroupNumber(const char*& p, const char* end) {
  std::int64_t value = 0;
  while (p < end && IsDigit(*p)) {
    value = value * 10 + (*p - '0');
    if (value > std::numeric_limits<std::int32_t>::max())
      value = std::numeric_limits<std::int32_t>::max();
    ++p;
  }
  return static_cast<std::int32_t>(value);
}

// The new text of a substitution. It starts at the text length plus the
// replacement length plus 256 bytes and at least doubles whenever an append
// does not fit, so a run that makes the text grow copies each byte a bounded
// number of times. There is always room for the terminating NUL.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::size_t capacity)
      : data_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

  void Append(const char* bytes, std::size_t n) {
    if (n == 0) return;
    if (size_ + n + 1 > capacity_) Grow(size_ + n + 1);
    char* to = data_.get() + size_;
    size_ += n;
    // Most pieces between matches, and most replacements, are a few bytes:
    // two overlapping fixed-size copies cost less than a call to memcpy.
    if (n >= 8 && n <= 16) {
      std::memcpy(to, bytes, 8);
      std::memcpy(to + n - 8, bytes + n - 8, 8);
    } else if (n >= 4 && n < 8) {
      std::memcpy(to, bytes, 4);
      std::memcpy(to + n - 4, bytes + n - 4, 4);
    } else if (n < 4) {
      to[0] = bytes[0];
      to[n / 2] = bytes[n / 2];
      to[n - 1] = bytes[n - 1];
    } else {
      std::memcpy(to, bytes, n);
    }
  }
  [[nodiscard]] std::size_t size() const { return size_; }
  // Terminates the text and hands the storage over.
  std::unique_ptr<char[]> Finish() {
    data_[size_] = '\0';
    return std::move(data_);
  }

 private:
  void Grow(std::size_t needed) {
    std::size_t capacity = capacity_ + capacity_ / 2 + 256;
    if (capacity < needed + 256) capacity = needed + 256;
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

void AppendReplacement(OutputBuffer& out, const PatternRecord& record) {
  if (!record.replacementProgram) {
    out.Append(record.replacementStart,
               static_cast<std::size_t>(record.replacementEnd - record.replacementStart));
    return;
  }
  for (const ReplacementProgram::Entry& entry : record.replacementProgram->Entries()) {
    if (!entry.is_group) {
      const std::string_view literal = record.replacementProgram->Literal(entry);
      out.Append(literal.data(), literal.size());
      continue;
    }
    const std::int32_t k = entry.group;
    if (k < 0 || k > record.groupCount || static_cast<std::size_t>(k) >= record.groupStart.size()) {
      continue;
    }
    const char* start = record.groupStart[static_cast<std::size_t>(k)];
    const char* end = record.groupEnd[static_cast<std::size_t>(k)];
    if (start != nullptr && end != nullptr && end > start) {
      out.Append(start, static_cast<std::size_t>(end - start));
    }
  }
}

}  // namespace

void ReplacementProgram::AppendLiteral(std::string_view bytes) {
  if (bytes.empty()) return;
  entries_.push_back(Entry{false, 0, static_cast<std::uint32_t>(literals_.size()),
                           static_cast<std::uint32_t>(bytes.size())});
  literals_.append(bytes);
}

void ReplacementProgram::AppendGroup(std::int32_t group) {
  entries_.push_back(Entry{true, group, 0, 0});
}

// The replacement language, read left to right:
//   - any byte but "\" and "$" stands for itself; a Shift-JIS lead byte takes
//     the byte after it along (in every mode), so the trail byte 0x5C of "ソ"
//     never starts an escape;
//   - "\" or "$" as the last byte stands for itself;
//   - "$1".."$9" (the whole digit run: "$12" is group 12) and "$&" (group 0)
//     are group references and make the replacement special; "$" before any
//     other character is dropped, and a double-byte character after it is
//     kept whole;
//   - "\" before another byte makes the replacement special: "\1".."\9" are
//     group references (digit run), "\0" octal (0 and up to two more octal
//     digits), "\x" up to two hex digits, "\c" control (the next byte
//     upper-cased XOR 0x40; "\c" at the end gives "c"), a e f n r t the usual
//     control bytes, and any other character stands for itself (kept whole
//     when it is double-byte).
// A replacement that never became special is copied verbatim, "$" signs and
// all, so no program is returned for it.
std::optional<ReplacementProgram> CompileReplacement(std::string_view replacement) {
  if (replacement.size() < 2) return std::nullopt;
  ReplacementProgram program;
  std::string pending;
  bool special = false;
  const char* p = replacement.data();
  const char* const end = p + replacement.size();
  auto append_character = [&](const char* at) {
    // Appends the character at `at` (two bytes for a lead byte with a byte
    // after it) and returns the position after it.
    if (IsLead(*at) && at + 1 < end) {
      pending.append(at, 2);
      return at + 2;
    }
    pending.push_back(*at);
    return at + 1;
  };
  auto add_group = [&](std::int32_t group) {
    program.AppendLiteral(pending);
    pending.clear();
    program.AppendGroup(group);
    special = true;
  };
  while (p < end) {
    const char c = *p;
    if (c != '\\' && c != '$') {
      p = append_character(p);
      continue;
    }
    if (p + 1 == end) {
      pending.push_back(c);
      break;
    }
    const char next = p[1];
    if (c == '$') {
      if (next >= '1' && next <= '9') {
        p += 1;
        add_group(ReadGroupNumber(p, end));
      } else if (next == '&') {
        p += 2;
        add_group(0);
      } else {
        p = append_character(p + 1);
      }
      continue;
    }
    special = true;
    p += 2;  // past the backslash and the byte after it
    switch (next) {
      case '0': {
        unsigned value = 0;
        for (int n = 0; n < 2 && p < end && *p >= '0' && *p <= '7'; ++n, ++p) {
          value = value * 8 + static_cast<unsigned>(*p - '0');
        }
        pending.push_back(static_cast<char>(value));
        break;
      }
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        p -= 1;
        add_group(ReadGroupNumber(p, end));
        break;
      case 'x': {
        unsigned value = 0;
        for (int n = 0; n < 2 && p < end && HexValue(*p) >= 0; ++n, ++p) {
          value = value * 16 + static_cast<unsigned>(HexValue(*p));
        }
        pending.push_back(static_cast<char>(value));
        break;
      }
      case 'c': {
        if (p == end) {
          pending.push_back('c');
          break;
        }
        char control = *p++;
        if (control >= 'a' && control <= 'z') control = static_cast<char>(control - 'a' + 'A');
        pending.push_back(static_cast<char>(control ^ 0x40));
        break;
      }
      case 'a':
        pending.push_back('\x07');
        break;
      case 'e':
        pending.push_back('\x1B');
        break;
      case 'f':
        pending.push_back('\x0C');
        break;
      case 'n':
        pending.push_back('\x0A');
        break;
      case 'r':
        pending.push_back('\x0D');
        break;
      case 't':
        pending.push_back('\x09');
        break;
      default:
        p = append_character(p - 1);
        break;
    }
  }
  if (!special) return std::nullopt;
  program.AppendLiteral(pending);
  return program;
}

// The loop: find the first match; copy the text before it and the
// replacement; with "g" look for the next match from the end of this one (a
// match right after an empty one must not be empty at the same place, and an
// empty rest of the text is never searched); finally copy the rest. More than
// text length + 10 further matches end the run as "Substitution loop".
std::int32_t RunSubstitution(PatternRecord& record, const char* text_start, const char* text_end,
                             char* message) {
  try {
    if (MatchPattern(&record, text_start, text_end, text_start, 0, message) != 1) return 0;
    const auto text_length = static_cast<std::size_t>(text_end - text_start);
    const auto replacement_length =
        static_cast<std::size_t>(record.replacementEnd - record.replacementStart);
    std::unique_ptr<OutputBuffer> out;
    try {
      out = std::make_unique<OutputBuffer>(replacement_length + text_length + 256);
    } catch (const std::bad_alloc&) {
      CopyMessage(message, "out of space buf");
      return 0;
    }
    const bool global = (record.flags & kFlagGlobal) != 0;
    const char* cursor = text_start;
    std::int32_t count = 0;
    std::size_t further = 0;
    // A run pattern keeps its search, and its bit masks, from one match to
    // the next.
    std::optional<ByteRunSearch> runs;
    if (record.byteRun) runs.emplace(record, text_start, text_end);
    // A failed search leaves partial data in the group arrays (under "i",
    // positions in the folded copy), and the groups of the last match found
    // must be there when the run ends: each search writes into spare arrays
    // swapped in for it, and a failed one swaps the last match's back. The
    // search of a run pattern leaves the groups as they were.
    const bool keeps_groups = runs.has_value();
    std::vector<const char*> spare_start;
    std::vector<const char*> spare_end;
    if (global && !keeps_groups) {
      spare_start.resize(record.groupStart.size());
      spare_end.resize(record.groupEnd.size());
    }
    try {
      for (;;) {
        const char* match_start = record.groupStart[0];
        const char* match_end = record.groupEnd[0];
        out->Append(cursor, static_cast<std::size_t>(match_start - cursor));
        cursor = match_end;
        AppendReplacement(*out, record);
        ++count;
        if (!global) break;
        if (!keeps_groups) {
          record.groupStart.swap(spare_start);
          record.groupEnd.swap(spare_end);
        }
        const std::int32_t min_end_offset = match_start == match_end ? 1 : 0;
        if (runs ? !runs->Find(cursor)
                 : MatchPattern(&record, cursor, text_end, text_start, min_end_offset, message) !=
                       1) {
          if (!keeps_groups) {
            record.groupStart.swap(spare_start);
            record.groupEnd.swap(spare_end);
          }
          break;
        }
        if (++further > text_length + 10) {
          CopyMessage(message, "Substitution loop");
          return 0;
        }
      }
      if (message != nullptr && message[0] != '\0') return 0;
      out->Append(cursor, static_cast<std::size_t>(text_end - cursor));
    } catch (const std::bad_alloc&) {
      CopyMessage(message, "out of space buf");
      return 0;
    }
    if (out->size() > 0) {
      const std::size_t size = out->size();
      record.resultStart = out->Finish();
      record.resultEnd = record.resultStart.get() + size;
    }
    return count;
  } catch (const EngineError& error) {
    CopyMessage(message, error.message());
  } catch (...) {
    CopyMessage(message, "fatal error");
  }
  return 0;
}

}  // namespace ostrevin::regex
