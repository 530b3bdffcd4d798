// PatternSlot: an owning record slot over the engine's entry points.
#include <utility>

#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {

PatternSlot::~PatternSlot() { Reset(); }

PatternSlot::PatternSlot(PatternSlot&& other) noexcept
    : record_(std::exchange(other.record_, nullptr)),
      command_(std::move(other.command_)),
      text_(std::move(other.text_)) {}

PatternSlot& PatternSlot::operator=(PatternSlot&& other) noexcept {
  if (this != &other) {
    Reset();
    record_ = std::exchange(other.record_, nullptr);
    command_ = std::move(other.command_);
    text_ = std::move(other.text_);
  }
  return *this;
}

void PatternSlot::Reset() {
  PatternFree(record_);
  record_ = nullptr;
}

PatternResult PatternSlot::Run(std::string_view command, std::string_view text) {
  return command.starts_with("tr") ? Translate(command, text) : Execute(command, text);
}

PatternResult PatternSlot::Execute(std::string_view command, std::string_view text) {
  return RunEntry(&PatternExecute, command, text);
}

PatternResult PatternSlot::Translate(std::string_view command, std::string_view text) {
  return RunEntry(&PatternTranslate, command, text);
}

PatternResult PatternSlot::RunEntry(EntryPoint entry, std::string_view command,
                                    std::string_view text) {
  // The entry points read C strings: a command holding a NUL ends there, and
  // the text must be followed by a NUL.
  command_.assign(command);
  text_.assign(text);
  char message[kMessageBufferSize];
  PatternResult result;
  result.count =
      entry(command_.c_str(), text_.data(), text_.data() + text_.size(), &record_, message);
  result.message = message;
  if (record_ != nullptr && record_->resultStart) {
    result.text =
        std::string_view(record_->resultStart.get(),
                         static_cast<std::size_t>(record_->resultEnd - record_->resultStart.get()));
  }
  return result;
}

int PatternSlot::GroupCount() const { return record_ == nullptr ? 0 : record_->groupCount; }

std::optional<GroupSpan> PatternSlot::Group(int i) const {
  if (record_ == nullptr || i < 0 || i > record_->groupCount) return std::nullopt;
  const auto index = static_cast<std::size_t>(i);
  if (index >= record_->groupStart.size() || index >= record_->groupEnd.size()) return std::nullopt;
  const char* start = record_->groupStart[index];
  const char* end = record_->groupEnd[index];
  if (start == nullptr || end == nullptr) return std::nullopt;
  const char* base = text_.data();
  return GroupSpan{static_cast<std::size_t>(start - base), static_cast<std::size_t>(end - base)};
}

}  // namespace ostrevin::regex
