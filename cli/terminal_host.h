// The Host of the command line: status lines on standard output (on standard
// error when converted text goes to standard output); messages, questions and
// a progress bar (on a terminal) on standard error.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/host.h"

namespace ostrevin::cli {

enum class OverwriteAnswers {
  kAsk,  // ask on the terminal; No when there is none to ask on
  kYes,  // -y/--yes: every question is answered Yes
};

struct TerminalSettings {
  OverwriteAnswers answers = OverwriteAnswers::kAsk;
  bool status_to_stderr = false;  // converted text goes to standard output
  bool quiet = false;             // no status lines
  // Standard input carries a text to convert: questions are read from the
  // controlling terminal (/dev/tty) instead.
  bool stdin_is_data = false;
};

class TerminalHost : public Host {
 public:
  explicit TerminalHost(const TerminalSettings& settings);
  TerminalHost(const TerminalHost&) = delete;
  TerminalHost& operator=(const TerminalHost&) = delete;
  ~TerminalHost() override;

  // Prints the question and "[y/N]" on standard error and reads one line
  // from standard input when it is a terminal (from /dev/tty when standard
  // input carries data): "y", "yes" (any case) or "はい" is Yes, anything
  // else No. Without a terminal to read from the answer is No.
  [[nodiscard]] bool AskYesNo(std::string_view text, std::string_view caption,
                              MessageIcon icon) override;
  // The text alone, on standard error.
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  // One line on standard output or standard error; nothing when quiet.
  void SetStatus(std::string_view text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void SetBusy(bool /*busy*/) override {}
  void Beep() override {}

 private:
  void EraseBar();
  void DrawBar();
  // Where answers are read from; null when there is no terminal.
  std::FILE* AnswerStream();

  TerminalSettings settings_;
  std::FILE* tty_ = nullptr;  // /dev/tty, opened for the first question that needs it
  bool stdin_is_terminal_;
  bool stderr_is_terminal_;
  int low_ = 0;
  int high_ = 0;
  int position_ = 0;
  bool bar_shown_ = false;
};

// Whether a typed answer means Yes.
[[nodiscard]] bool IsYesAnswer(std::string_view answer);

}  // namespace ostrevin::cli
