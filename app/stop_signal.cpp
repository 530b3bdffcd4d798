#include "app/stop_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "core/end_by_signal.h"

namespace ostrevin::app {

namespace {

// The one global the window keeps: what a signal handler needs, since it can
// reach nothing else. `signal` holds the first stop signal; a byte written to
// `wake[1]` wakes the event loop.
struct SignalState {
  StopRequest signal{0};
  int wake[2] = {-1, -1};
};
SignalState g_state;

extern "C" void RecordStopSignal(int signal_number) {
  const int saved_errno = errno;
  int none = 0;
  (void)g_state.signal.compare_exchange_strong(none, signal_number);
  const char byte = 1;
  (void)!write(g_state.wake[1], &byte, 1);  // a full pipe is awake already
  errno = saved_errno;
}

}  // namespace

SignalStop::SignalStop(QObject* parent) : QObject(parent) {
  if (pipe2(g_state.wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_state.wake[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalStop::Drain);
  struct sigaction action {};
  action.sa_handler = RecordStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESTART: the event loop's own calls go on. SA_RESETHAND: a second
  // signal ends the program at once, should a question hold the run.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

SignalStop::~SignalStop() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  delete notifier_;
  for (int& fd : g_state.wake) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

const StopRequest& SignalStop::Request() const { return g_state.signal; }

void SignalStop::Drain() {
  char bytes[64];
  while (read(g_state.wake[0], bytes, sizeof bytes) > 0) {
  }
  if (g_state.signal.load() != 0) emit StopRequested();
}

void SignalStop::EndByStopSignal() { EndBySignal(g_state.signal.load()); }

}  // namespace ostrevin::app
