// HTML stripping: tags, entities and blank-line runs.
#include "conversion/html_strip.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/shift_jis.h"
#include "regex/engine_error.h"
#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"
#include "tables/conversion_table.h"

namespace ostrevin {

namespace {

// A record slot for one call of an entry point; frees whatever the engine
// left in it.
struct OwnedRecord {
  regex::PatternRecord* record = nullptr;
  OwnedRecord() = default;
  OwnedRecord(const OwnedRecord&) = delete;
  OwnedRecord& operator=(const OwnedRecord&) = delete;
  ~OwnedRecord() { regex::PatternFree(record); }
};

}  // namespace

bool StripHtmlTags(std::string& text) {
  // Compacts in place: the write position never passes the read position, so
  // the bytes still to be read are never overwritten.
  char* const data = text.data();
  const char* const end = data + text.size();
  const char* read = data;
  char* write = data;
  bool tag_seen = false;
  while (read < end) {
    const auto* open =
        static_cast<const char*>(std::memchr(read, '<', static_cast<std::size_t>(end - read)));
    const char* copy_end = open == nullptr ? end : open;
    const auto length = static_cast<std::size_t>(copy_end - read);
    if (write != read) std::memmove(write, read, length);
    write += length;
    if (open == nullptr) break;
    tag_seen = true;
    const auto* close = static_cast<const char*>(
        std::memchr(open + 1, '>', static_cast<std::size_t>(end - open - 1)));
    read = close == nullptr ? end : close + 1;
  }
  text.resize(static_cast<std::size_t>(write - data));
  return tag_seen;
}

std::int32_t ApplyPatternCommand(std::string& text, const char* command) {
  // The engine refuses an empty target range; the text stays empty.
  if (text.empty()) return 0;
  OwnedRecord slot;
  char message[regex::kMessageBufferSize];
  // std::string keeps a NUL after its last byte: the end the engine expects.
  const std::int32_t count =
      regex::PatternExecute(command, text.data(), text.data() + text.size(), &slot.record, message);
  if (count <= 0) return 0;
  const regex::PatternRecord* record = slot.record;
  if (record == nullptr || !record->resultStart) {
    text.clear();
  } else {
    text.assign(record->resultStart.get(),
                static_cast<std::size_t>(record->resultEnd - record->resultStart.get()));
  }
  return count;
}

bool ReplaceHtmlEntities(std::string& text) {
  bool changed = false;
  for (const char* command : kHtmlEntityCommands) {
    if (ApplyPatternCommand(text, command) > 0) changed = true;
  }
  return changed;
}

namespace {

// The entities as kHtmlEntityCommands replace them, each with its one-byte
// replacement; names in lower case, the semicolon included.
struct Entity {
  std::string_view name;
  char replacement;
};
constexpr std::array<Entity, 5> kEntities = {{
    {"nbsp;", ' '},
    {"quot;", '"'},
    {"gt;", '>'},
    {"lt;", '<'},
    {"amp;", '&'},
}};

// Whether `text` starts with `lower` when ASCII capitals are read as small
// letters, as the commands' "i" flag reads them (other bytes compare as
// they are).
bool StartsFolded(std::string_view text, std::string_view lower) {
  if (text.size() < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (static_cast<char>(static_cast<unsigned>(b - 'A') < 26u ? b + 32 : b) != lower[i])
      return false;
  }
  return true;
}

}  // namespace

// Why one pass gives what the five commands and the collapse give:
//  - The commands match bytes (no "k" flag): an occurrence may start
//    anywhere, a trail byte included.
//  - Every entity starts with "&", ends with ";" and holds neither inside,
//    and no two names agree up to their ";" (whatever the letter case): no
//    two occurrences of any of them overlap.
//  - Each is replaced by one byte that none of them contains, so a later
//    command never finds an occurrence that an earlier replacement made or
//    joined: the commands replace exactly the occurrences of the five in the
//    text as it was, and "&amp;lt;" still becomes "&lt;".
//  - The replacements and the entities hold no LF, so the runs of LF after
//    them are the runs before them. The collapse steps whole Shift-JIS
//    characters: an LF right after a lead byte that starts a character is
//    that character's trail byte and does not count in the run (so
//    "\x82\n\n\n" keeps its three LF bytes). Repeated until nothing changes,
//    ReplaceAll leaves min(run, 2) of the LF bytes that do count. Whether a
//    lead byte starts a character depends only on the lead bytes right
//    before it, which are read once: the look back stops at the LF before.
bool ReplaceEntitiesAndCollapseBlankLines(std::string& text) {
  char* const data = text.data();
  const std::size_t size = text.size();
  auto next = [&](char byte, std::size_t from) {
    const void* hit = std::memchr(data + from, byte, size - from);
    return hit == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  };
  bool changed = false;
  std::size_t read = 0;
  std::size_t write = 0;
  std::size_t amp = next('&', 0);
  std::size_t lf = next('\n', 0);
  while (true) {
    const std::size_t stop = std::min(amp, lf);
    if (write != read) std::memmove(data + write, data + read, stop - read);
    write += stop - read;
    read = stop;
    if (read == size) break;
    if (read == amp) {
      const std::string_view rest(data + read + 1, size - read - 1);
      char out = '&';
      std::size_t length = 1;
      for (const Entity& entity : kEntities) {
        if (StartsFolded(rest, entity.name)) {
          out = entity.replacement;
          length += entity.name.size();
          changed = true;
          break;
        }
      }
      data[write++] = out;
      read += length;
      amp = next('&', read);
      continue;
    }
    std::size_t end = read;
    while (end < size && data[end] == '\n') ++end;
    const std::size_t trail = sjis::IsBoundary(data, 0, write) ? 0 : 1;
    const std::size_t counted = end - read - trail;
    if (counted > 2) changed = true;
    const std::size_t kept = trail + std::min<std::size_t>(counted, 2);
    std::memset(data + write, '\n', kept);
    write += kept;
    read = end;
    lf = next('\n', read);
  }
  text.resize(write);
  return changed;
}

bool CollapseBlankLines(std::string& text) {
  if (ReplaceAll(text, "\n\n\n", "\n\n") == 0) return false;
  while (ReplaceAll(text, "\n\n\n", "\n\n") > 0) {
  }
  return true;
}

}  // namespace ostrevin
