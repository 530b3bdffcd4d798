// A double fork: the intermediate child exits at once and is reaped here, so the
// watcher below it belongs to init; the watcher starts the program, waits for it
// and writes its exit status into a pipe that this process reads with a time limit.
#include "app/watched_launch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;

namespace ostrevin::app {
namespace {

// The watcher's report: the program's exit status, or one of these.
constexpr unsigned char kExecFailed = 127;  // as a shell reports it
constexpr unsigned char kKilled = 255;      // ended by a signal, or no process

// Between fork and exec only async-signal-safe calls may be made, as the
// window has other threads: no allocation, no locks.
[[noreturn]] void RunProgram(char* const argv[]) {
  // Ignored signals and the signal mask survive exec: the program starts with
  // the defaults, not with what the window chose for itself (SIGXFSZ ignored).
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &default_action, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(argv[0], argv, environ);
  ::_exit(kExecFailed);
}

[[noreturn]] void RunWatcher(int report, char* const argv[]) {
  const pid_t program = ::fork();
  if (program == 0) RunProgram(argv);
  ::signal(SIGPIPE, SIG_IGN);  // the window may have stopped listening
  unsigned char code = program < 0 ? kExecFailed : kKilled;
  int status = 0;
  if (program > 0) {
    pid_t waited = 0;
    do {
      waited = ::waitpid(program, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == program && WIFEXITED(status))
      code = static_cast<unsigned char>(WEXITSTATUS(status));
  }
  (void)!::write(report, &code, 1);
  ::_exit(0);
}

// Waits for one byte on `fd` until `patience` has passed; -1 when none came.
int ReadReport(int fd, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return -1;
    unsigned char code = 0;
    ssize_t got = 0;
    do {
      got = ::read(fd, &code, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? code : kKilled;  // no byte: the watcher died before it could tell
  }
}

}  // namespace

LaunchOutcome LaunchAndWatch(const std::string& program, const std::string& argument,
                             std::chrono::milliseconds patience) {
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return LaunchOutcome::kNotStarted;
  // Built before the fork: the children must not allocate.
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                        nullptr};
  const pid_t middle = ::fork();
  if (middle == 0) {
    ::close(report[0]);
    const pid_t watcher = ::fork();
    if (watcher == 0) RunWatcher(report[1], argv);
    if (watcher < 0) (void)!::write(report[1], &kExecFailed, 1);
    ::_exit(0);
  }
  ::close(report[1]);
  if (middle < 0) {
    ::close(report[0]);
    return LaunchOutcome::kNotStarted;
  }
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  const int code = ReadReport(report[0], patience);
  ::close(report[0]);
  if (code < 0) return LaunchOutcome::kStillRunning;
  if (code == 0) return LaunchOutcome::kSucceeded;
  if (code == kExecFailed) return LaunchOutcome::kNotStarted;
  return LaunchOutcome::kFailed;
}

}  // namespace ostrevin::app
