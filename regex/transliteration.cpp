// Transliteration: list expansion, the pair table and the run over a text.
#include "regex/transliteration.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "core/shift_jis.h"
#include "regex/engine_error.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {

namespace {

constexpr std::uint32_t kShiftJisFlag = kFlagShiftJis;
constexpr std::uint32_t kComplementFlag = kFlagComplement;
constexpr std::uint32_t kDeleteFlag = kFlagDelete;
constexpr std::uint32_t kSqueezeFlag = kFlagSqueeze;

std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

bool IsLead(char c) { return sjis::IsLeadByte(Byte(c)); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c == 'x') return 0;  // the letter x counts as the digit 0
  return -1;
}

// Reads one character of an expanded list at `i`: with `wide`, a lead byte
// followed by another byte of the list is one double-byte code.
std::uint16_t ReadCode(std::string_view list, std::size_t& i, bool wide) {
  const std::uint8_t b = Byte(list[i]);
  if (wide && sjis::IsLeadByte(b) && i + 1 < list.size()) {
    const auto code = static_cast<std::uint16_t>(b << 8 | Byte(list[i + 1]));
    i += 2;
    return code;
  }
  ++i;
  return b;
}

}  // namespace

TranslationPairTable::TranslationPairTable(bool wide) : index_(wide ? 0x10000 : 0x100, kAbsent) {
  pairs_.reserve(2 * 128);
}

void TranslationPairTable::Append(std::uint16_t from, std::uint16_t to) {
  pairs_.push_back(from);
  pairs_.push_back(to);
  if (from < index_.size() && index_[from] == kAbsent) index_[from] = to;
}

void TranslationPairTable::Finish() {
  pairs_.push_back(kKeepCode);
  pairs_.push_back(kKeepCode);
}

std::optional<std::uint16_t> TranslationPairTable::Find(std::uint16_t code) const {
  if (code >= index_.size() || index_[code] == kAbsent) return std::nullopt;
  return static_cast<std::uint16_t>(index_[code]);
}

// Escapes of a list (the byte after the backslash decides):
//   "0" octal: the 0 and up to two more octal digits (0-63)
//   "x" hex: up to two hex digits, the letter x counting as 0; none gives 0
//   "c" control: the next byte upper-cased, XOR 0x40; with nothing after the
//       "c" (the list ends) the escape is the letter "c" itself
//   "a" "e" "f" "n" "r" "t": 07 1B 0C 0A 0D 09; "/": "/"
//   anything else: its first byte itself (digits 1-9 are not octal here)
ListEscape DecodeListEscape(const char* after, const char* end) {
  switch (*after) {
    case '0': {
      std::size_t n = 1;
      unsigned value = 0;
      while (n < 3 && after + n < end && after[n] >= '0' && after[n] <= '7') {
        value = value * 8 + static_cast<unsigned>(after[n] - '0');
        ++n;
      }
      return {static_cast<std::uint8_t>(value), n};
    }
    case 'x': {
      std::size_t n = 1;
      unsigned value = 0;
      while (n < 3 && after + n < end && HexValue(after[n]) >= 0) {
        value = value * 16 + static_cast<unsigned>(HexValue(after[n]));
        ++n;
      }
      return {static_cast<std::uint8_t>(value), n};
    }
    case 'c': {
      if (after + 1 >= end) return {Byte('c'), 1};
      std::uint8_t next = Byte(after[1]);
      if (next >= 'a' && next <= 'z') next = static_cast<std::uint8_t>(next - 'a' + 'A');
      return {static_cast<std::uint8_t>(next ^ 0x40), 2};
    }
    case 'a':
      return {0x07, 1};
    case 'e':
      return {0x1B, 1};
    case 'f':
      return {0x0C, 1};
    case 'n':
      return {0x0A, 1};
    case 'r':
      return {0x0D, 1};
    case 't':
      return {0x09, 1};
    default:
      return {Byte(*after), 1};
  }
}

// Expansion, left to right, with a range start (the code of the last character
// added, 0 before the first):
//   - a lead byte with a byte after it is one double-byte character, in every
//     mode, so a trail byte 0x5C never starts an escape;
//   - "\" or "-" as the last byte is taken literally;
//   - "x-y" adds range start + 1 .. y when the range start is below y and at
//     most 255 codes away; otherwise "-" and y are added as written and the
//     range start stays. So "-a" at the start means 0x01..a and "a-c-e" a..e.
//   - a range between a single-byte and a double-byte character is always
//     literal (more than 255 codes apart).
std::string ExpandCharacterList(std::string_view list) {
  std::string out;
  out.reserve(list.size());
  const char* p = list.data();
  const char* const end = p + list.size();
  std::uint32_t range_start = 0;
  while (p < end) {
    const char c = *p;
    if (c != '\\' && c != '-') {
      if (IsLead(c) && p + 1 < end) {
        out.append(p, 2);
        range_start = static_cast<std::uint32_t>(Byte(c) << 8 | Byte(p[1]));
        p += 2;
      } else {
        out.push_back(c);
        range_start = Byte(c);
        ++p;
      }
      continue;
    }
    if (p + 1 == end) {
      out.push_back(c);
      break;
    }
    if (c == '\\') {
      if (p[1] == '\\') {
        out.push_back('\\');
        range_start = 0x5C;
        p += 2;
      } else {
        const ListEscape escape = DecodeListEscape(p + 1, end);
        out.push_back(static_cast<char>(escape.value));
        range_start = escape.value;
        p += 1 + escape.consumed;
      }
      continue;
    }
    // "-" with at least one byte after it: read the range's end character.
    const char* q = p + 1;
    std::uint32_t last = 0;
    if (IsLead(*q) && q + 1 < end) {
      last = static_cast<std::uint32_t>(Byte(*q) << 8 | Byte(q[1]));
      q += 2;
    } else if (*q == '\\' && q + 1 < end) {
      if (q[1] == '\\') {
        last = 0x5C;
        q += 2;
      } else {
        const ListEscape escape = DecodeListEscape(q + 1, end);
        last = escape.value;
        q += 1 + escape.consumed;
      }
    } else {
      last = Byte(*q);
      ++q;
    }
    if (range_start < last && last - range_start <= 255) {
      for (std::uint32_t code = range_start + 1; code <= last; ++code) {
        if (last > 0xFF) {
          out.push_back(static_cast<char>(code >> 8));
          out.push_back(static_cast<char>(code & 0xFF));
        } else {
          out.push_back(static_cast<char>(code));
        }
      }
      range_start = last;
    } else {
      out.append(p, q);
    }
    p = q;
  }
  return out;
}

std::optional<TranslationPairTable> BuildTranslationTable(std::string_view search,
                                                          std::string_view replacement,
                                                          std::uint32_t flags) {
  if (search.empty()) return std::nullopt;
  const bool wide = (flags & kShiftJisFlag) != 0;
  const bool remove = (flags & kDeleteFlag) != 0;
  const std::string from_list = ExpandCharacterList(search);
  const std::string to_list = ExpandCharacterList(replacement);
  TranslationPairTable table(wide);
  std::size_t i = 0;
  std::size_t j = 0;
  std::uint16_t last_to = kKeepCode;
  while (i < from_list.size()) {
    const std::uint16_t from = ReadCode(from_list, i, wide);
    std::uint16_t to = 0;
    if (j < to_list.size()) {
      to = ReadCode(to_list, j, wide);
      last_to = to;
    } else {
      to = remove ? kDeleteCode : last_to;
    }
    table.Append(from, to);
  }
  table.Finish();
  return table;
}

// The run: every text character is looked up once. A character that does not
// match is copied; a matched one counts, and is deleted (0xFFFE), kept (0xFFFF)
// or replaced; with "s" its output is dropped when it equals the last
// character, which is the replacement code after a replacement and the input
// character in every other case.
//
// The output is written into `out`, which has room for two bytes per text
// byte (a single byte may become a double-byte code in "k" mode; without "k"
// every code is one byte). Returns the output size and the count.
namespace {
std::pair<std::size_t, std::int32_t> TranslateInto(const TranslationPairTable& table,
                                                   std::uint32_t flags, std::string_view text,
                                                   char* out) {
  const bool wide = (flags & kShiftJisFlag) != 0;
  const bool complement = (flags & kComplementFlag) != 0;
  const bool remove = (flags & kDeleteFlag) != 0;
  const bool squeeze = (flags & kSqueezeFlag) != 0;
  // What happens to one character: not matched, or matched with a to code.
  struct Action {
    bool matched;
    std::uint16_t to;
  };
  auto decide = [&](std::uint16_t code) {
    const std::optional<std::uint16_t> pair = table.Find(code);
    if (complement) return Action{!pair.has_value(), remove ? kDeleteCode : kKeepCode};
    return Action{pair.has_value(), pair.value_or(kKeepCode)};
  };
  std::array<Action, 256> byte_actions{};
  for (std::uint32_t b = 0; b < 256; ++b) byte_actions[b] = decide(static_cast<std::uint16_t>(b));

  char* o = out;
  std::int32_t count = 0;
  if (!wide && !squeeze) {
    // Every character is one byte and its fate does not depend on the one
    // before: a branch-free table walk.
    std::array<std::int16_t, 256> emit{};  // output byte, or -1 when deleted
    std::array<std::uint8_t, 256> counts{};
    for (std::size_t b = 0; b < 256; ++b) {
      const Action action = byte_actions[b];
      counts[b] = action.matched ? 1 : 0;
      if (!action.matched || action.to == kKeepCode) {
        emit[b] = static_cast<std::int16_t>(b);
      } else {
        emit[b] =
            action.to == kDeleteCode ? std::int16_t{-1} : static_cast<std::int16_t>(action.to);
      }
    }
    for (const char c : text) {
      const std::uint8_t b = Byte(c);
      const std::int16_t e = emit[b];
      count += counts[b];
      *o = static_cast<char>(e);
      o += e >= 0 ? 1 : 0;
    }
    return {static_cast<std::size_t>(o - out), count};
  }
  std::uint32_t last = 0x10000;  // equals no code
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const std::uint8_t b = Byte(*p);
    std::uint16_t code = b;
    Action action{};
    if (wide && sjis::IsLeadByte(b) && p + 1 < end) {
      code = static_cast<std::uint16_t>(b << 8 | Byte(p[1]));
      action = decide(code);
      p += 2;
    } else {
      action = byte_actions[b];
      ++p;
    }
    if (!action.matched) {
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code);
      last = code;
      continue;
    }
    ++count;
    const std::uint16_t to = action.to;
    if (to != kDeleteCode) {
      const std::uint16_t output = to == kKeepCode ? code : to;
      if (!squeeze || output != last) {
        if (output > 0xFF) *o++ = static_cast<char>(output >> 8);
        *o++ = static_cast<char>(output);
      }
    }
    last = (to == kKeepCode || to == kDeleteCode) ? code : to;
  }
  return {static_cast<std::size_t>(o - out), count};
}
}  // namespace

TranslationOutput TranslateText(const TranslationPairTable& table, std::uint32_t flags,
                                std::string_view text) {
  std::string buffer(2 * text.size(), '\0');
  const auto [size, count] = TranslateInto(table, flags, text, buffer.data());
  buffer.resize(size);
  return TranslationOutput{std::move(buffer), count};
}

PatternRecord* CompileTranslation(const char* search_start, const char* search_end,
                                  const char* replacement_start, const char* replacement_end,
                                  std::uint32_t flags, char* message) {
  if (message != nullptr) message[0] = '\0';
  if (search_start == nullptr || search_start >= search_end) return nullptr;
  std::unique_ptr<PatternRecord> record;
  try {
    record = std::make_unique<PatternRecord>();
  } catch (const std::bad_alloc&) {
    CopyMessage(message, "out of space trcomp");
    return nullptr;
  }
  record->flags = flags | kKindTranslation;
  try {
    const std::string_view replacement =
        replacement_start == nullptr || replacement_end <= replacement_start
            ? std::string_view()
            : std::string_view(replacement_start,
                               static_cast<std::size_t>(replacement_end - replacement_start));
    std::optional<TranslationPairTable> table = BuildTranslationTable(
        std::string_view(search_start, static_cast<std::size_t>(search_end - search_start)),
        replacement, flags);
    if (!table) return nullptr;
    record->translationTable = std::make_unique<TranslationPairTable>(std::move(*table));
  } catch (const std::bad_alloc&) {
    CopyMessage(message, "lack of memory");
    return nullptr;
  }
  return record.release();
}

std::int32_t RunTranslation(PatternRecord& record, const char* text_start, const char* text_end) {
  record.resultStart.reset();
  record.resultEnd = nullptr;
  if (text_start == nullptr || text_end <= text_start || !record.translationTable) return 0;
  try {
    const auto length = static_cast<std::size_t>(text_end - text_start);
    // Without "k" the output is never longer than the text.
    const std::size_t room = (record.flags & kShiftJisFlag) != 0 ? 2 * length : length;
    auto result = std::make_unique_for_overwrite<char[]>(room + 1);
    const auto [size, count] = TranslateInto(*record.translationTable, record.flags,
                                             std::string_view(text_start, length), result.get());
    result[size] = '\0';
    record.resultEnd = result.get() + size;
    record.resultStart = std::move(result);
    return count;
  } catch (const std::bad_alloc&) {
    throw EngineError("lack of memory");
  }
}

}  // namespace ostrevin::regex
