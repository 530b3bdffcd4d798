// Ending the process by a signal it caught, as its parent expects of an
// interrupted program (a shell then stops a script that ran it, for one).
#pragma once

#include <signal.h>

namespace ostrevin {

// Restores the default action of `signal_number`, unblocks it and raises it
// again; returns only for 0.
inline void EndBySignal(int signal_number) {
  if (signal_number == 0) return;
  signal(signal_number, SIG_DFL);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal_number);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal_number);
}

}  // namespace ostrevin
