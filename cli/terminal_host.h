// The Host of the command line: status lines on standard output; messages,
// questions and a progress bar (on a terminal) on standard error.
#pragma once

#include <string>
#include <string_view>

#include "core/host.h"

namespace ostrevin::cli {

enum class OverwriteAnswers {
  kAsk,  // ask on the terminal; No when standard input is not a terminal
  kYes,  // -y/--yes: every question is answered Yes
};

class TerminalHost : public Host {
 public:
  explicit TerminalHost(OverwriteAnswers answers);

  // Prints the question and "[y/N]" on standard error and reads one line:
  // "y", "yes" (any case) or "はい" is Yes, anything else No.
  [[nodiscard]] bool AskYesNo(std::string_view text, std::string_view caption,
                              MessageIcon icon) override;
  // The text alone, on standard error.
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  // One line on standard output.
  void SetStatus(std::string_view text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void SetBusy(bool /*busy*/) override {}
  void Beep() override {}

 private:
  void EraseBar();
  void DrawBar();

  OverwriteAnswers answers_;
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
