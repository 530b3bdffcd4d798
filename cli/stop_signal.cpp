#include "cli/stop_signal.h"

#include <signal.h>

#include "core/end_by_signal.h"

namespace ostrevin::cli {

namespace {

// The one global the command line keeps: a signal handler has nowhere else to
// leave its mark. The first signal wins.
StopRequest g_stop_signal{0};

extern "C" void RecordStopSignal(int signal_number) {
  int none = 0;
  (void)g_stop_signal.compare_exchange_strong(none, signal_number);
}

}  // namespace

const StopRequest& InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RecordStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a question waiting for its answer on the terminal returns
  // (as No) instead of holding the stop until someone types. SA_RESETHAND: a
  // second signal ends the program at once (a text still being read from
  // standard input, say), even in the middle of a file.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return g_stop_signal;
}

void EndByStopSignal() { EndBySignal(g_stop_signal.load()); }

}  // namespace ostrevin::cli
