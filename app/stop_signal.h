// SIGINT and SIGTERM for the window: the handler only records the signal and
// wakes the event loop through a pipe; the window then closes as if asked
// (after the file under way, when a run is going on), and the process ends by
// that same signal.
#pragma once

#include <QObject>

#include "conversion/run_conversion.h"

class QSocketNotifier;

namespace ostrevin::app {

class SignalStop : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; only one SignalStop may exist at a time.
  explicit SignalStop(QObject* parent = nullptr);
  ~SignalStop() override;

  // The request a conversion run reads between two files.
  [[nodiscard]] const StopRequest& Request() const;

  // When a stop signal was received, ends the process by it (default action
  // restored, the signal raised again). Returns otherwise.
  static void EndByStopSignal();

 signals:
  // A stop signal arrived; emitted from the event loop, not the handler.
  void StopRequested();

 private:
  void Drain();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ostrevin::app
