// ApplyConversionTable: running a loaded table over one text.
#include "tables/conversion_table.h"
#include "tables/pattern_table.h"

namespace ostrevin {
namespace {

void ApplySimpleTable(std::string& text, const ConversionTable& table, bool& changed) {
  std::string scratch;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.Search(i).empty()) continue;
    if (ReplaceAll(text, table.Search(i), table.Replacement(i), scratch) > 0) changed = true;
  }
}

}  // namespace

bool ApplyConversionTable(std::string& text, const ConversionTable& table, int reg_exp, Host& host,
                          bool& changed) {
  if (reg_exp == 0) {
    ApplySimpleTable(text, table, changed);
    return true;
  }
  return ApplyPatternTable(text, table, host, changed);
}

}  // namespace ostrevin
