// The core's Host for the main window: questions and messages through the
// Desktop, the status line and progress bar repainted at once, the busy cursor
// and the beep.
#pragma once

#include <QString>

#include "app/desktop.h"
#include "core/host.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace ostrevin::app {

class WindowHost : public Host {
 public:
  // `owner` owns the message boxes; the status line and progress bar, when the
  // window has them, are its children. All must outlive the host.
  WindowHost(QWidget& owner, Desktop& desktop, QLabel* status = nullptr,
             QProgressBar* progress = nullptr);
  ~WindowHost() override;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  bool AskYesNo(std::string_view text, std::string_view caption, MessageIcon icon) override;
  Answer AskYesNoForAll(std::string_view text, std::string_view caption, MessageIcon icon) override;
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  // One box: the first ten items, one a line, then "ほか %n 件" for the rest.
  void ShowMessageForEach(std::string_view text, std::span<const std::string> items,
                          std::string_view caption, MessageIcon icon) override;
  void SetStatus(std::string_view text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void SetBusy(bool busy) override;
  void Beep() override;

  // Takes back every busy cursor still on (after a run that ended by an error).
  void ClearBusy();

 private:
  // Paints the status line and progress bar now and lets the window system
  // show them; input meanwhile is the caller's matter (InputBlocker).
  void Repaint();

  QWidget& owner_;
  Desktop& desktop_;
  QLabel* status_;
  QProgressBar* progress_;
  int busy_depth_ = 0;
};

}  // namespace ostrevin::app
