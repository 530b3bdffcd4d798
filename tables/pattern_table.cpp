// ApplyPatternTable: a table of pattern commands run over one text.
#include "tables/pattern_table.h"

#include <cstdint>
#include <cstring>

#include "core/cp932_text.h"
#include "regex/engine_error.h"
#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin {

namespace {

constexpr std::string_view kErrorCaption = "エラー";

// A record slot for one command; frees whatever the engine left in it.
struct OwnedRecord {
  regex::PatternRecord* record = nullptr;
  OwnedRecord() = default;
  OwnedRecord(const OwnedRecord&) = delete;
  OwnedRecord& operator=(const OwnedRecord&) = delete;
  ~OwnedRecord() { regex::PatternFree(record); }
};

// kPatternTableError with the message for the first %s and the command for
// the second.
std::string FormatTableError(std::string_view message, std::string_view command) {
  const std::string_view format = kPatternTableError;
  const std::size_t first = format.find("%s");
  const std::size_t second = format.find("%s", first + 2);
  std::string text(format.substr(0, first));
  text.append(message);
  text.append(format.substr(first + 2, second - first - 2));
  text.append(Cp932ToUtf8(command));
  text.append(format.substr(second + 2));
  return text;
}

}  // namespace

bool ApplyPatternTable(std::string& text, const std::vector<std::string>& commands, Host& host,
                       bool& changed) {
  for (const std::string& command : commands) {
    if (command.size() < 2) continue;
    OwnedRecord slot;
    char message[regex::kMessageBufferSize];
    message[0] = '\0';
    // std::string keeps a NUL after its last byte: the end the engine expects.
    const char* const start = text.data();
    const char* const end = start + text.size();
    std::int32_t count = 0;
    if (command[0] == 's') {
      count = regex::PatternExecute(command.c_str(), start, end, &slot.record, message);
    } else if (command[0] == 't' && command[1] == 'r') {
      count = regex::PatternTranslate(command.c_str(), start, end, &slot.record, message);
    } else {
      regex::CopyMessage(message, kNotSubstituteOrTranslate.data());
    }
    if (message[0] != '\0') {
      host.ShowMessage(FormatTableError(message, command), kErrorCaption,
                       MessageIcon::kExclamation);
      return false;
    }
    if (count <= 0) continue;
    const regex::PatternRecord* record = slot.record;
    if (record == nullptr || !record->resultStart) {
      text.clear();
    } else {
      const char* result = record->resultStart.get();
      text.assign(result, static_cast<std::size_t>(record->resultEnd - result));
    }
    changed = true;
    if (std::memchr(text.data(), '\0', text.size()) != nullptr) return false;
  }
  return true;
}

}  // namespace ostrevin
