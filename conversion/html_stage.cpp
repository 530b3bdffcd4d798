#include "conversion/html_stage.h"

namespace ostrevin {

bool StripHtml(std::string& /*text*/, Host& /*host*/) {
  // The tag removal, entity commands and blank-line collapse drop in here.
  return false;
}

}  // namespace ostrevin
