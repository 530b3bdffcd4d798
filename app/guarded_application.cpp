#include "app/guarded_application.h"

#include <QMessageBox>
#include <new>

#include "app/japanese_ui.h"
#include "core/file_error.h"

namespace ostrevin::app {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // Handlers that can run out of memory catch it themselves and tidy up;
    // this is the last stop before the exception would leave the event loop.
    ShowOutOfMemory();
    return true;
  }
}

void GuardedApplication::ShowOutOfMemory() {
  QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                  FromUtf8(kOutOfMemoryMessage), QMessageBox::Ok);
  box.exec();
}

}  // namespace ostrevin::app
