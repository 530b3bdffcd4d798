#include "conversion/html_stage.h"

#include "conversion/html_strip.h"

namespace ostrevin {

bool StripHtml(std::string& text, Host& /*host*/) {
  // All three steps run; each reports its own change.
  bool changed = StripHtmlTags(text);
  if (ReplaceHtmlEntities(text)) changed = true;
  if (CollapseBlankLines(text)) changed = true;
  return changed;
}

}  // namespace ostrevin
