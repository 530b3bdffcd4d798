// GuardedApplication: the QApplication of the window, which stops a lack of
// memory at the top of event delivery instead of letting it end the program.
#pragma once

#include <QApplication>

namespace ostrevin::app {

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  // Delivers `event`; a std::bad_alloc from any handler is shown as
  // "ﾒﾓﾘが不足しています。" (exclamation icon) and the event counts as handled.
  bool notify(QObject* receiver, QEvent* event) override;

  // The same message box, for the places outside event delivery.
  static void ShowOutOfMemory();
};

}  // namespace ostrevin::app
