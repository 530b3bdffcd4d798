// Host implementation over the main window's widgets.
#include "app/window_host.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/japanese_ui.h"

namespace ostrevin::app {

WindowHost::WindowHost(QWidget& owner, Desktop& desktop, QLabel* status, QProgressBar* progress)
    : owner_(owner), desktop_(desktop), status_(status), progress_(progress) {}

WindowHost::~WindowHost() { ClearBusy(); }

namespace {

// How many items a gathered message names before it counts the rest.
constexpr std::size_t kItemsNamed = 10;

// The arrow over a message box that opens while the busy cursor is on.
class ArrowWhileAsking {
 public:
  explicit ArrowWhileAsking(bool busy) : busy_(busy) {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~ArrowWhileAsking() {
    if (busy_) QApplication::restoreOverrideCursor();
  }
  ArrowWhileAsking(const ArrowWhileAsking&) = delete;
  ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

 private:
  bool busy_;
};

}  // namespace

bool WindowHost::AskYesNo(std::string_view text, std::string_view caption, MessageIcon icon) {
  const ArrowWhileAsking arrow(busy_depth_ > 0);
  return desktop_.AskYesNo(&owner_, FromUtf8(text), FromUtf8(caption), icon);
}

Answer WindowHost::AskYesNoForAll(std::string_view text, std::string_view caption,
                                  MessageIcon icon) {
  const ArrowWhileAsking arrow(busy_depth_ > 0);
  return desktop_.AskYesNoForAll(&owner_, FromUtf8(text), FromUtf8(caption), icon);
}

void WindowHost::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
  const ArrowWhileAsking arrow(busy_depth_ > 0);
  desktop_.ShowMessage(&owner_, FromUtf8(text), FromUtf8(caption), icon);
}

void WindowHost::ShowMessageForEach(std::string_view text, std::span<const std::string> items,
                                    std::string_view caption, MessageIcon icon) {
  if (items.empty()) return;
  std::string named;
  for (std::size_t i = 0; i < items.size() && i < kItemsNamed; ++i) {
    if (i > 0) named += '\n';
    named += items[i];
  }
  if (items.size() > kItemsNamed) {
    named += "\nほか " + std::to_string(items.size() - kItemsNamed) + " 件";
  }
  ShowMessage(WithItem(text, named), caption, icon);
}

void WindowHost::SetStatus(std::string_view text) {
  if (status_ == nullptr) return;
  status_->setText(FromUtf8(text));
  Repaint();
}

void WindowHost::SetProgressRange(int low, int high) {
  if (progress_ == nullptr) return;
  progress_->setRange(low, high);
  Repaint();
}

void WindowHost::SetProgressPosition(int position) {
  if (progress_ == nullptr) return;
  progress_->setValue(position);
  Repaint();
}

void WindowHost::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busy_depth_;
  } else if (busy_depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busy_depth_;
  }
}

void WindowHost::Beep() { desktop_.Beep(); }

void WindowHost::ClearBusy() {
  while (busy_depth_ > 0) SetBusy(false);
}

void WindowHost::Repaint() {
  if (status_ != nullptr) status_->repaint();
  if (progress_ != nullptr) progress_->repaint();
  QCoreApplication::processEvents();
}

}  // namespace ostrevin::app
