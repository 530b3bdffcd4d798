// The HTML stage of the file pipeline: tag removal, the five entity
// replacements and the collapse of blank-line runs.
#pragma once

#include <string>

#include "core/host.h"

namespace ostrevin {

// Runs the HTML steps over `text` in place and returns true when any of them
// changed it. Not built yet: it leaves the text as it is and reports no
// change, so the pipeline's order and change flag already hold.
[[nodiscard]] bool StripHtml(std::string& text, Host& host);

}  // namespace ostrevin
