// EngineString storage, the skip table and the two literal searches.
#include "regex/engine_string.h"

#include <cstring>
#include <new>
#include <string_view>

#include "core/byte_search.h"
#include "core/shift_jis.h"
#include "regex/engine_error.h"

namespace ostrevin::regex {
namespace {

constexpr std::int32_t kGrowth = 512;

std::uint8_t CasePartner(std::uint8_t b) {
  if (b >= 'A' && b <= 'Z') return static_cast<std::uint8_t>(b + 32);
  if (b >= 'a' && b <= 'z') return static_cast<std::uint8_t>(b - 32);
  return b;
}

bool IsLead(const char* p) { return sjis::IsLeadByte(static_cast<std::uint8_t>(*p)); }

// Room for `needed` bytes: reserves only when the capacity is smaller.
void MakeRoom(EngineString& string, std::int32_t needed) {
  if (string.capacity() < needed) EngineStringReserve(string, needed);
}

}  // namespace

std::unique_ptr<EngineString> EngineStringNew(const char* bytes, std::int32_t n) {
  std::unique_ptr<EngineString> string;
  try {
    string = std::make_unique<EngineString>();
  } catch (const std::bad_alloc&) {
    throw EngineError("lack of memory");
  }
  if (n == 0 && bytes != nullptr) n = static_cast<std::int32_t>(std::strlen(bytes));
  EngineStringAssign(*string, bytes, n);
  return string;
}

void EngineStringReserve(EngineString& string, std::int32_t size) {
  const std::int64_t capacity = static_cast<std::int64_t>(size) + kGrowth;
  if (capacity > 0x7FFFFFFF) throw EngineError("lack of memory");
  std::unique_ptr<char[]> storage;
  try {
    storage = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(capacity));
  } catch (const std::bad_alloc&) {
    throw EngineError("lack of memory");
  }
  if (string.data_ != nullptr && string.length_ > 0) {
    std::memcpy(storage.get(), string.data_.get(), static_cast<std::size_t>(string.length_));
  }
  storage[string.length_] = '\0';
  string.data_ = std::move(storage);
  string.capacity_ = static_cast<std::int32_t>(capacity);
}

void EngineStringAssign(EngineString& string, const char* bytes, std::int32_t n) {
  MakeRoom(string, n + 1 > kGrowth ? n + 1 : kGrowth);
  if (n > 0) std::memmove(string.data_.get(), bytes, static_cast<std::size_t>(n));
  string.length_ = n;
  string.data_[n] = '\0';
}

std::int32_t EngineStringAppend(EngineString& string, const char* bytes, std::int32_t n) {
  const std::int64_t needed = static_cast<std::int64_t>(string.length_) + n + 1;
  if (needed > 0x7FFFFFFF - kGrowth) throw EngineError("lack of memory");
  MakeRoom(string, static_cast<std::int32_t>(needed));
  if (n > 0) {
    std::memcpy(string.data_.get() + string.length_, bytes, static_cast<std::size_t>(n));
  }
  string.length_ += n;
  string.data_[string.length_] = '\0';
  return string.length_;
}

void EngineStringCopy(EngineString& target, const EngineString& source) {
  if (&target == &source) return;
  const bool table = (source.flags & EngineString::kSkipTableValid) != 0;
  MakeRoom(target, source.length_ + 1 + (table ? 257 : 0));
  if (source.length_ > 0) {
    std::memcpy(target.data_.get(), source.data_.get(), static_cast<std::size_t>(source.length_));
  }
  target.length_ = source.length_;
  target.flags = source.flags;
  target.data_[target.length_] = '\0';
  // The table travels with the flags that declare it valid.
  if (table) std::memcpy(target.data_.get() + target.length_ + 1, source.skip_table(), 256);
}

void SetSearchKind(EngineString& string) {
  if ((string.flags & EngineString::kKindMask) != EngineString::kSearchKind) {
    string.flags |= EngineString::kSearchKind;
  }
}

// Skip table of a literal of length n < 256: a byte that does not occur gets
// n; a byte that occurs gets the distance from its last occurrence to the
// literal's end (the last byte gets 0). Example «abcab»: b 0, a 1, c 2, rest 5.
void BuildSkipTable(EngineString& string, bool folded) {
  const std::int32_t n = string.length_;
  if (n >= 256) return;
  MakeRoom(string, n + 258);
  auto* table = reinterpret_cast<std::uint8_t*>(string.data_.get()) + n + 1;
  std::memset(table, n, 256);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(string.data_.get());
  for (std::int32_t i = n - 1, count = 0; i >= 0; --i, ++count) {
    const std::uint8_t b = bytes[i];
    if (table[b] == n) {
      table[b] = static_cast<std::uint8_t>(count);
      if (folded) table[CasePartner(b)] = static_cast<std::uint8_t>(count);
    }
  }
  SetSearchKind(string);
  string.flags |= EngineString::kSkipTableValid;
  if (folded) string.flags |= EngineString::kSkipTableFolded;
}

// Counts the lead bytes directly before `position`; an odd count means the
// position holds a trail byte. A lead byte pair is always lead + next byte, so
// within a run of lead-range bytes the roles alternate from the run's start.
int ShiftJisPositionType(const char* text_start, const char* position) {
  if (text_start == nullptr || position == nullptr) return 0;
  std::size_t count = 0;
  for (const char* p = position; p > text_start && IsLead(p - 1); --p) ++count;
  if (count % 2 == 1) return 2;
  return IsLead(position) ? 1 : 0;
}

int ShiftJisPositions::TypeAt(const char* position) {
  const bool known = run_begin_ != nullptr && position >= run_begin_;
  if (known && position > run_end_) {
    // Extend the run forwards; bytes are looked at once as positions advance.
    while (run_end_ < position && IsLead(run_end_)) ++run_end_;
  }
  if (!known || position > run_end_) {
    // A new run; when the old one was extended up to a non-lead byte, this
    // scan stops after that byte, so no byte is counted twice.
    const char* p = position;
    while (p > base_ && IsLead(p - 1)) --p;
    run_begin_ = p;
    run_end_ = position;
  }
  const std::size_t count = static_cast<std::size_t>(position - run_begin_);
  if (count % 2 == 1) return 2;
  return IsLead(position) ? 1 : 0;
}

const char* ShiftJisPositions::PreviousCharacter(const char* position) {
  const char* p = position - 1;
  if (p > base_ && TypeAt(p) == 2) --p;
  return p;
}

const char* FindBytes(const char* text_start, const char* text_end, const char* literal_start,
                      const char* literal_end, bool shift_jis) {
  const std::size_t n = static_cast<std::size_t>(literal_end - literal_start);
  if (n == 0) return text_start;
  if (text_end - text_start < static_cast<std::ptrdiff_t>(n)) return nullptr;
  ByteSearch search(std::string_view(text_start, static_cast<std::size_t>(text_end - text_start)),
                    std::string_view(literal_start, n));
  return FindBytesWith(search, text_start, text_start, text_end, n, shift_jis);
}

const char* FindBytesWith(ByteSearch& search, const char* base, const char* text_start,
                          const char* text_end, std::size_t literal_length, bool shift_jis) {
  if (text_end - text_start < static_cast<std::ptrdiff_t>(literal_length)) return nullptr;
  auto from = static_cast<std::size_t>(text_start - base);
  if (!shift_jis) {
    const std::size_t p = search.Find(from);
    return p == ByteSearch::kNone ? nullptr : base + p;
  }
  // Shift-JIS mode: candidates come from the byte search; `boundary` walks forwards
  // over whole characters and only ever moves ahead, so the walk is linear.
  const char* boundary = text_start;
  for (;;) {
    const std::size_t p = search.Find(from);
    if (p == ByteSearch::kNone) return nullptr;
    const char* hit = base + p;
    while (boundary < hit) boundary += IsLead(boundary) ? 2 : 1;
    if (boundary == hit) return hit;
    from = p + 1;  // the hit starts on a trail byte
  }
}

namespace {

bool EqualsFolded(const std::uint8_t* text, const std::uint8_t* literal, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] != literal[i] && CasePartner(text[i]) != literal[i]) return false;
  }
  return true;
}

// Skip-table search from `s`: the probe stands under the literal's last byte
// and jumps by the table entry of the byte under it; an entry of 0 means the
// last bytes agree and the rest is compared from right to left.
const char* SkipSearch(const char* text_start, const char* s, const char* text_end,
                       const EngineString& literal, bool shift_jis) {
  const std::int32_t n = literal.length();
  if (text_end - s < n) return nullptr;
  const auto* table = literal.skip_table();
  const auto* lit = reinterpret_cast<const std::uint8_t*>(literal.data());
  const bool folded = (literal.flags & EngineString::kSkipTableFolded) != 0;
  ShiftJisPositions positions(text_start);
  const auto starts_on_trail = [&](const char* at) {
    return shift_jis && positions.TypeAt(at) == 2;
  };
  if (!folded && n > 0) {
    // Same first hit as the skip-table walk.
    ByteSearch search(std::string_view(s, static_cast<std::size_t>(text_end - s)),
                      std::string_view(literal.data(), static_cast<std::size_t>(n)));
    std::size_t from = 0;
    for (;;) {
      const std::size_t p = search.Find(from);
      if (p == ByteSearch::kNone) return nullptr;
      if (!starts_on_trail(s + p)) return s + p;
      from = p + 1;
    }
  }
  const char* probe = s + n - 1;
  while (probe < text_end) {
    const std::uint8_t skip = table[static_cast<std::uint8_t>(*probe)];
    if (skip != 0) {
      probe += skip;
      continue;
    }
    const char* candidate = probe - (n - 1);
    const auto* c = reinterpret_cast<const std::uint8_t*>(candidate);
    const bool equal = folded ? EqualsFolded(c, lit, static_cast<std::size_t>(n - 1))
                              : std::memcmp(c, lit, static_cast<std::size_t>(n - 1)) == 0;
    if (equal && !starts_on_trail(candidate)) return candidate;
    ++probe;
  }
  return nullptr;
}

}  // namespace

const char* FindLiteral(const char* text_start, const char* text_end, const EngineString& literal,
                        bool multi_line, bool shift_jis) {
  const std::int32_t n = literal.length();
  if ((literal.flags & EngineString::kKindMask) != EngineString::kSearchKind ||
      (literal.flags & EngineString::kSkipTableValid) == 0) {
    if (n == 0) return text_start;
    return FindBytes(text_start, text_end, literal.data(), literal.data() + n, shift_jis);
  }
  const auto starts_on_trail = [&](const char* at) {
    return shift_jis && ShiftJisPositionType(text_start, at) == 2;
  };
  const char* s = text_start;
  if ((literal.flags & EngineString::kTailAnchored) != 0 && !multi_line) {
    if (text_end - text_start < n) return nullptr;
    const bool ends_with_lf = text_end > text_start && text_end[-1] == '\n';
    const bool literal_ends_with_lf = n > 0 && literal.data()[n - 1] == '\n';
    if ((literal.flags & EngineString::kSkipTableFolded) == 0) {
      const char* at = text_end - n;
      if (std::memcmp(at, literal.data(), static_cast<std::size_t>(n)) == 0 &&
          !starts_on_trail(at)) {
        return at;
      }
      if (ends_with_lf && !literal_ends_with_lf && text_end - text_start > n) {
        --at;
        if (std::memcmp(at, literal.data(), static_cast<std::size_t>(n)) == 0 &&
            !starts_on_trail(at)) {
          return at;
        }
      }
      return nullptr;
    }
    s = text_end - n;
    if (ends_with_lf && !literal_ends_with_lf && s > text_start) --s;
  }
  return SkipSearch(text_start, s, text_end, literal, shift_jis);
}

}  // namespace ostrevin::regex
