// A Host for tests: records every call, in order, as one line of text, and
// answers questions from a queue of prepared answers (No when it runs dry).
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/host.h"

namespace ostrevin::testing {

inline std::string IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kNone:
      return "none";
    case MessageIcon::kQuestion:
      return "question";
    case MessageIcon::kExclamation:
      return "exclamation";
    case MessageIcon::kStop:
      return "stop";
  }
  return "?";
}

class RecordingHost : public Host {
 public:
  // Calls, one line each:
  //   ask[caption/icon] text        message[caption/icon] text
  //   each[caption/icon] text | item | item ...
  //   status text   range low..high   position n   busy on|off   beep
  std::vector<std::string> calls;
  std::deque<bool> answers;
  // For AskYesNoForAll, which is recorded like AskYesNo and takes its answer
  // from `answers` once these run dry.
  std::deque<Answer> answers_for_all;

  bool AskYesNo(std::string_view text, std::string_view caption, MessageIcon icon) override {
    calls.push_back("ask[" + std::string(caption) + "/" + IconName(icon) + "] " +
                    std::string(text));
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  Answer AskYesNoForAll(std::string_view text, std::string_view caption,
                        MessageIcon icon) override {
    if (answers_for_all.empty()) return Host::AskYesNoForAll(text, caption, icon);
    calls.push_back("ask[" + std::string(caption) + "/" + IconName(icon) + "] " +
                    std::string(text));
    const Answer answer = answers_for_all.front();
    answers_for_all.pop_front();
    return answer;
  }
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
    calls.push_back("message[" + std::string(caption) + "/" + IconName(icon) + "] " +
                    std::string(text));
  }
  void ShowMessageForEach(std::string_view text, std::span<const std::string> items,
                          std::string_view caption, MessageIcon icon) override {
    std::string call =
        "each[" + std::string(caption) + "/" + IconName(icon) + "] " + std::string(text);
    for (const std::string& item : items) call += " | " + item;
    calls.push_back(call);
  }
  void SetStatus(std::string_view text) override { calls.push_back("status " + std::string(text)); }
  void SetProgressRange(int low, int high) override {
    calls.push_back("range " + std::to_string(low) + ".." + std::to_string(high));
  }
  void SetProgressPosition(int position) override {
    calls.push_back("position " + std::to_string(position));
  }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy on" : "busy off"); }
  void Beep() override { calls.push_back("beep"); }

  // Only the message and question lines, which most tests care about.
  [[nodiscard]] std::vector<std::string> Dialogs() const {
    std::vector<std::string> out;
    for (const auto& call : calls) {
      if (call.starts_with("ask[") || call.starts_with("message[") || call.starts_with("each[")) {
        out.push_back(call);
      }
    }
    return out;
  }
};

}  // namespace ostrevin::testing
