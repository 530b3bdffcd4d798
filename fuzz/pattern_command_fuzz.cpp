// Fuzz target for the pattern-command interface: any command text over any
// subject through PatternExecute and PatternTranslate, with record reuse (the
// same command twice, an empty command, then another command).
//
// Input: one choice byte, the first command up to a NUL byte, the second
// command up to a NUL byte, and the subject (up to its first NUL byte, as the
// entry points take NUL-terminated texts).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "core/shift_jis.h"
#include "fuzz/fuzz_input.h"
#include "regex/compiler.h"
#include "regex/matcher.h"
#include "regex/pattern_command.h"
#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace {

using namespace ostrevin;
using namespace ostrevin::regex;
using fuzz::Require;

// A heap copy of `bytes` plus a NUL, sized exactly, so that AddressSanitizer
// sees any read past the terminator.
std::unique_ptr<char[]> Terminated(std::string_view bytes) {
  auto copy = std::make_unique<char[]>(bytes.size() + 1);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  return copy;
}

// Characters of `text` as transliteration counts them: Shift-JIS characters
// with the "k" flag, bytes otherwise.
std::size_t CharacterCount(std::string_view text, bool wide) {
  if (!wide) return text.size();
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    i += sjis::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  return count;
}

struct RunResult {
  std::int32_t count = 0;
  std::string message;
  std::string result_text;
};

// Runs `command` once and checks what must hold whatever the command is.
RunResult RunOnce(std::string_view command, bool translate, std::string_view subject,
                  PatternRecord** slot) {
  const auto command_copy = Terminated(command);
  const auto text = Terminated(subject);
  const char* text_end = text.get() + subject.size();
  // Exactly the engine's buffer size, filled with non-NUL bytes: it must be
  // emptied on entry and any message must end inside it.
  auto message = std::make_unique<char[]>(kMessageBufferSize);
  std::memset(message.get(), 'X', kMessageBufferSize);

  RunResult run;
  run.count = translate
                  ? PatternTranslate(command_copy.get(), text.get(), text_end, slot, message.get())
                  : PatternExecute(command_copy.get(), text.get(), text_end, slot, message.get());
  const void* nul = std::memchr(message.get(), '\0', kMessageBufferSize);
  Require(nul != nullptr, "the engine's message fits its buffer", command);
  run.message = message.get();

  // The parts of the command the record actually ran (the slot's own one
  // when the command was empty).
  const PatternRecord* record = *slot;
  std::string_view ran = command;
  if (ran.empty() && record != nullptr && record->commandText) ran = record->commandText.get();
  const auto split = SplitPatternCommand(ran);
  if (const auto* parts = std::get_if<CommandParts>(&split); parts != nullptr && run.count >= 0) {
    const std::string detail =
        std::string(ran) + " | " + fuzz::Hex(subject) + " -> " + std::to_string(run.count);
    switch (parts->kind) {
      case CommandKind::kMatch:
        Require(run.count <= 1, "a match returns 1, 0 or -1", detail);
        break;
      case CommandKind::kSubstitution:
        if ((parts->flags & kFlagGlobal) == 0) {
          Require(run.count <= 1, "a substitution without g makes at most one replacement", detail);
        } else {
          Require(static_cast<std::size_t>(run.count) <= subject.size() + 1,
                  "a global substitution replaces at most once per position", detail);
        }
        break;
      case CommandKind::kTransliteration:
        if (translate) {
          Require(static_cast<std::size_t>(run.count) <=
                      CharacterCount(subject, (parts->flags & kFlagShiftJis) != 0),
                  "a tr count never exceeds the number of characters", detail);
        }
        break;
    }
  }

  if (record != nullptr) {
    if (record->resultStart) {
      Require(record->resultEnd != nullptr && record->resultEnd >= record->resultStart.get() &&
                  *record->resultEnd == '\0',
              "the result text ends at its NUL", command);
      run.result_text.assign(record->resultStart.get(), record->resultEnd);
    }
    // Groups of the last run lie inside the subject, begin before end.
    const std::size_t groups = std::min(record->groupStart.size(), record->groupEnd.size());
    for (std::size_t g = 0; g < groups && run.count > 0; ++g) {
      const char* begin = record->groupStart[g];
      const char* end = record->groupEnd[g];
      if (begin == nullptr || end == nullptr || record->subjectBegin != text.get()) continue;
      Require(text.get() <= begin && begin <= end && end <= text_end,
              "a group lies inside the subject", command);
    }
  }
  return run;
}

// The start facts (must literal, start literal, start class, first bytes,
// skipping runs) only choose where to try: a record without them, which
// tries every position, must find the same first match. Anchoring stays, as
// it is part of what "^" means.
void CheckStartFacts(std::string_view command, std::string_view subject) {
  const auto split = SplitPatternCommand(command);
  const auto* parts = std::get_if<CommandParts>(&split);
  if (parts == nullptr || parts->kind == CommandKind::kTransliteration) return;
  const auto command_copy = Terminated(command);
  const char* pattern = command_copy.get();
  char message[kMessageBufferSize];
  std::uint32_t flags = parts->flags;
  auto fast =
      CompilePattern(pattern + parts->first_begin, pattern + parts->first_end, flags, message);
  flags = parts->flags;
  auto plain =
      CompilePattern(pattern + parts->first_begin, pattern + parts->first_end, flags, message);
  if (!fast || !plain || fast->program.empty()) return;
  plain->mustLiteral.reset();
  plain->startLiteral.reset();
  plain->startClass = nullptr;
  plain->hasFirstBytes = false;
  plain->startFlags &= static_cast<std::uint8_t>(~kStartSkipRuns);

  const auto text = Terminated(subject);
  const char* end = text.get() + subject.size();
  char fast_message[kMessageBufferSize];
  char plain_message[kMessageBufferSize];
  for (const char* from = text.get(); from < end;
       from += std::max<std::ptrdiff_t>(1, (end - from) / 3)) {
    const int a = MatchPattern(fast.get(), from, end, text.get(), 0, fast_message);
    const int b = MatchPattern(plain.get(), from, end, text.get(), 0, plain_message);
    if (fast_message[0] != '\0' || plain_message[0] != '\0') return;  // a limit was reached
    const std::string detail = std::string(command) + " | " + fuzz::Hex(subject) + " from " +
                               std::to_string(from - text.get());
    Require(a == b, "the start facts never change whether a match is found", detail);
    if (a == 1) {
      Require(
          fast->groupStart[0] == plain->groupStart[0] && fast->groupEnd[0] == plain->groupEnd[0],
          "the start facts never change where the first match lies", detail);
    }
  }
}

bool IsTranslation(std::string_view command) {
  const auto split = SplitPatternCommand(command);
  const auto* parts = std::get_if<CommandParts>(&split);
  return parts != nullptr && parts->kind == CommandKind::kTransliteration;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t choice = input.TakeByte();
  const std::string_view first = input.TakeField('\0');
  const std::string_view second = input.TakeField('\0');
  const std::string_view subject = input.Rest().substr(0, input.Rest().find('\0'));
  // Bit 0: send each command to the entry point of the other kind.
  const bool swap_entries = (choice & 1) != 0;
  const bool first_tr = IsTranslation(first) != swap_entries;
  const bool second_tr = IsTranslation(second) != swap_entries;

  PatternRecord* slot = nullptr;
  const RunResult once = RunOnce(first, first_tr, subject, &slot);
  const RunResult again = RunOnce(first, first_tr, subject, &slot);
  // A reused record behaves exactly like a fresh one.
  Require(once.count == again.count && once.message == again.message &&
              once.result_text == again.result_text,
          "the same command twice gives the same result", first);
  CheckStartFacts(first, subject);
  if ((choice & 2) != 0) (void)RunOnce("", first_tr, subject, &slot);
  (void)RunOnce(second, second_tr, subject, &slot);
  PatternFree(slot);
  return 0;
}
