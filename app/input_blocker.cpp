// Application-wide filter that drops user input aimed at one window.
#include "app/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace ostrevin::app {
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputBlocker::InputBlocker(QWidget& window, QWidget* way_out) : window_(window), way_out_(way_out) {
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputBlocker::BelongsToWindow(QObject* object) const {
  if (auto* widget = qobject_cast<QWidget*>(object)) return widget->window() == &window_;
  if (auto* window = qobject_cast<QWindow*>(object)) return window == window_.windowHandle();
  return false;
}

bool InputBlocker::IsWayOut(QObject* watched, QEvent* event) const {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      if (way_out_ == nullptr) return false;
      // The window system hands a click to the top-level window first, which
      // passes it on to the widget under the pointer.
      auto* target = qobject_cast<QWidget*>(watched);
      if (target == nullptr) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        target = window_.childAt(at);
      }
      return target != nullptr && (target == way_out_ || way_out_->isAncestorOf(target));
    }
    default:
      return false;
  }
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  // Keyboard shortcuts and menu mnemonics of the window arrive at actions, not
  // widgets; the job's own message boxes use none.
  if (event->type() == QEvent::Shortcut) return true;
  if (IsUserInput(event->type()) && BelongsToWindow(watched)) return !IsWayOut(watched, event);
  return false;
}

}  // namespace ostrevin::app
