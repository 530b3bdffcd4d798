#include "conversion/html_stage.h"

#include "conversion/html_strip.h"

namespace ostrevin {

bool StripHtml(std::string& text, Host& /*host*/) {
  // All the steps run; each reports its own change.
  const bool tags = StripHtmlTags(text);
  return ReplaceEntitiesAndCollapseBlankLines(text) || tags;
}

}  // namespace ostrevin
