// SIGINT and SIGTERM for the command line: the handler only records the
// signal; a conversion run stops at its next file boundary, and the process
// then ends by that same signal, as its parent expects of an interrupted one.
// A second signal ends it at once.
#pragma once

#include "conversion/run_conversion.h"

namespace ostrevin::cli {

// Installs the handlers (once) and returns the request they set.
[[nodiscard]] const StopRequest& InstallStopHandlers();

// When a stop signal was received, ends the process by it: the default action
// is restored and the signal raised again. Returns otherwise.
void EndByStopSignal();

}  // namespace ostrevin::cli
