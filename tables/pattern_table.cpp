// ApplyPatternTable: a table of pattern commands run over one text.
#include "tables/pattern_table.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/cp932_text.h"
#include "core/shift_jis.h"
#include "regex/engine_error.h"
#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"
#include "tables/literal_commands.h"

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

// A command is quoted whole up to this many bytes; a longer one (a table line
// may hold a whole file) is cut at the last character boundary before it.
constexpr std::size_t kQuotedCommandBytes = 200;

std::string QuotedCommand(std::string_view command) {
  if (command.size() <= kQuotedCommandBytes) return Cp932ToUtf8(command);
  std::size_t end = 0;
  while (true) {
    const std::size_t next = end + sjis::CharLength(command.data(), end, command.size());
    if (next > kQuotedCommandBytes) break;
    end = next;
  }
  return Cp932ToUtf8(command.substr(0, end)) + "…";
}

// kPatternTableError with the message for the first %s and the command for
// the second.
std::string FormatTableError(std::string_view message, std::string_view command) {
  const std::string_view format = kPatternTableError;
  const std::size_t first = format.find("%s");
  const std::size_t second = format.find("%s", first + 2);
  std::string text(format.substr(0, first));
  text.append(message);
  text.append(format.substr(first + 2, second - first - 2));
  text.append(QuotedCommand(command));
  text.append(format.substr(second + 2));
  return text;
}

// The text the commands work on. It starts as the caller's string; a command
// that hands back a new text passes its result buffer over (the engine's
// buffer ends in a NUL, as the next command needs), so a table of many lines
// copies the text once at the end instead of once per line.
class WorkingText {
 public:
  explicit WorkingText(std::string& text) : text_(text), data_(text.data()), size_(text.size()) {}

  [[nodiscard]] const char* begin() const { return data_; }
  [[nodiscard]] const char* end() const { return data_ + size_; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool HoldsNul() const { return std::memchr(data_, '\0', size_) != nullptr; }

  // Takes over the result text of `record` (no record or no result text: the
  // empty text).
  void TakeResult(regex::PatternRecord* record) {
    if (record == nullptr || !record->resultStart) {
      owned_.reset();
      text_.clear();
      data_ = text_.data();
      size_ = 0;
      return;
    }
    size_ = static_cast<std::size_t>(record->resultEnd - record->resultStart.get());
    owned_ = std::move(record->resultStart);
    // The caller's buffer is not read again before Finish: give it back now.
    std::string().swap(text_);
    record->resultEnd = nullptr;
    data_ = owned_.get();
  }

  // Takes over a text built outside the engine; `built` gets the memory
  // of the caller's former text, for the next one.
  void TakeText(std::string& built) {
    text_.swap(built);
    owned_.reset();
    data_ = text_.data();
    size_ = text_.size();
  }

  // Leaves the current text in the caller's string.
  void Finish() {
    if (owned_) text_.assign(data_, size_);
    owned_.reset();
  }

 private:
  std::string& text_;
  std::unique_ptr<char[]> owned_;
  const char* data_;
  std::size_t size_;
};

// The most literal commands one pass takes. Joining a command checks it
// against every command already in the run, and the pass picks the nearest
// occurrence among all of them: a bound keeps both linear in a table of any
// length, and past a few dozen searches a longer run gains nothing.
constexpr std::size_t kMostLiteralCommandsInARun = 32;

// Collects into `run` the literal commands from `first` on that may share
// one pass, passing over the lines too short to be run; returns the index
// after the last one taken.
std::size_t LiteralRunEnd(const ConversionTable& table, std::size_t first,
                          std::vector<LiteralCommand>& run) {
  run.clear();
  std::size_t end = first;
  for (std::size_t i = first; i < table.size(); ++i) {
    if (table.Command(i).size() < 2) continue;
    const std::optional<LiteralCommand> literal = AsLiteralCommand(table.Command(i));
    if (!literal || run.size() == kMostLiteralCommandsInARun ||
        (!run.empty() && !JoinsRun(run, *literal))) {
      break;
    }
    run.push_back(*literal);
    end = i + 1;
  }
  return end;
}

}  // namespace

bool ApplyPatternTable(std::string& text, const ConversionTable& table, Host& host, bool& changed) {
  // The engine refuses an empty text; with nothing to change, the table is
  // not run at all.
  if (text.empty()) return true;
  // std::string keeps a NUL after its last byte: the end the engine expects.
  WorkingText current(text);
  // The engine reads a command up to its NUL: each one is copied here, which
  // costs little next to compiling it.
  std::string command;
  std::vector<LiteralCommand> run;
  std::string built;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.Command(i).size() < 2) continue;
    // A run of literal commands that may share one pass (an empty text goes
    // to the engine, which refuses it with its message).
    if (current.begin() != current.end()) {
      const std::size_t after = LiteralRunEnd(table, i, run);
      if (run.size() >= 2) {
        if (ReplaceLiteralRun(std::string_view(current.begin(), current.size()), run, built) > 0) {
          current.TakeText(built);
          changed = true;
        }
        i = after - 1;
        continue;
      }
    }
    command.assign(table.Command(i));
    OwnedRecord slot;
    char message[regex::kMessageBufferSize];
    message[0] = '\0';
    std::int32_t count = 0;
    if (command[0] == 's') {
      count = regex::PatternExecute(command.c_str(), current.begin(), current.end(), &slot.record,
                                    message);
    } else if (command[0] == 't' && command[1] == 'r') {
      count = regex::PatternTranslate(command.c_str(), current.begin(), current.end(), &slot.record,
                                      message);
    } else {
      regex::CopyMessage(message, kNotSubstituteOrTranslate.data());
    }
    if (message[0] != '\0') {
      current.Finish();
      host.ShowMessage(FormatTableError(message, command), kErrorCaption,
                       MessageIcon::kExclamation);
      return false;
    }
    if (count <= 0) continue;
    current.TakeResult(slot.record);
    changed = true;
    if (current.HoldsNul()) {
      current.Finish();
      return false;
    }
  }
  current.Finish();
  return true;
}

}  // namespace ostrevin
