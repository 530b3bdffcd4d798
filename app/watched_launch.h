// Starting a document handler without tying the window to it, while still
// hearing about a quick failure: xdg-open ends at once with a non-zero status
// when nothing can open the document, which a plain detached start never sees.
#pragma once

#include <chrono>
#include <string>

namespace ostrevin::app {

enum class LaunchOutcome {
  kSucceeded,     // the program ended within the wait with status 0
  kFailed,        // it ended within the wait with another status or a signal
  kStillRunning,  // it was still running when the wait was over
  kNotStarted,    // it could not be started (no such program, no process)
};

// Runs `program` (a full path) with the one argument `argument`, detached: the
// window never has to reap it and it outlives the window. Waits at most
// `patience` for it to end.
[[nodiscard]] LaunchOutcome LaunchAndWatch(const std::string& program, const std::string& argument,
                                           std::chrono::milliseconds patience);

}  // namespace ostrevin::app
