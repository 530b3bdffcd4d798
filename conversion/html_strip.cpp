// HTML stripping: tags, entities and blank-line runs.
#include "conversion/html_strip.h"

#include <cstring>

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

bool CollapseBlankLines(std::string& text) {
  if (ReplaceAll(text, "\n\n\n", "\n\n") == 0) return false;
  while (ReplaceAll(text, "\n\n\n", "\n\n") > 0) {
  }
  return true;
}

}  // namespace ostrevin
