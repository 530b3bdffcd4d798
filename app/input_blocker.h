// Keeps a person's input away from a window while a synchronous job (a
// conversion run) runs inside one of its handlers and pumps events to repaint:
// clicks, keys, wheel, drops, context menus and shortcuts aimed at the window
// are dropped (not deferred). Windows the job opens, such as its message
// boxes, still take input.
#pragma once

#include <QObject>

class QWidget;

namespace ostrevin::app {

class InputBlocker : public QObject {
 public:
  // Installs itself on the application for its lifetime.
  explicit InputBlocker(QWidget& window);
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  [[nodiscard]] bool BelongsToWindow(QObject* object) const;

  QWidget& window_;
};

}  // namespace ostrevin::app
