// The HTML stage of the file pipeline: tag removal, the five entity
// replacements and the collapse of blank-line runs.
#pragma once

#include <string>

#include "core/host.h"

namespace ostrevin {

// Runs the HTML steps over `text` in place (conversion/html_strip.h): tag
// removal, the five entity commands, the blank-line collapse. Returns true
// when any of them reported a change.
[[nodiscard]] bool StripHtml(std::string& text, Host& host);

}  // namespace ostrevin
