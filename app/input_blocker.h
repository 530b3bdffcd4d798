// Keeps a person's input away from a window while a synchronous job (a
// conversion run) runs inside one of its handlers and pumps events to repaint:
// clicks, keys, wheel, drops, context menus and shortcuts aimed at the window
// are dropped (not deferred). Windows the job opens, such as its message
// boxes, still take input, and so do the way out that the window names: a
// button clicked and the Esc key pressed, which ask before they stop the job.
#pragma once

#include <QObject>

class QWidget;

namespace ostrevin::app {

class InputBlocker : public QObject {
 public:
  // Installs itself on the application for its lifetime. Clicks on `way_out`
  // (a child of `window`, may be null) and the Esc key still reach the window.
  explicit InputBlocker(QWidget& window, QWidget* way_out = nullptr);
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  [[nodiscard]] bool BelongsToWindow(QObject* object) const;
  [[nodiscard]] bool IsWayOut(QObject* watched, QEvent* event) const;

  QWidget& window_;
  QWidget* way_out_;
};

}  // namespace ostrevin::app
