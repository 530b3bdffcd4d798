// ApplyConversionTable: running a loaded table over one text.
#include <algorithm>

#include "tables/conversion_table.h"
#include "tables/pattern_table.h"

namespace ostrevin {
namespace {

void ApplySimpleTable(std::string& text, const ConversionTable& table, bool& changed) {
  const std::size_t entries = std::min(table.search.size(), table.replacements.size());
  for (std::size_t i = 0; i < entries; ++i) {
    if (table.search[i].empty()) continue;
    if (ReplaceAll(text, table.search[i], table.replacements[i]) > 0) changed = true;
  }
}

}  // namespace

bool ApplyConversionTable(std::string& text, const ConversionTable& table, int reg_exp, Host& host,
                          bool& changed) {
  if (reg_exp == 0) {
    ApplySimpleTable(text, table, changed);
    return true;
  }
  return ApplyPatternTable(text, table.search, host, changed);
}

}  // namespace ostrevin
