// ApplyConversionTable: running a loaded table over one text.
#include "tables/conversion_table.h"
#include "tables/pattern_table.h"
#include "tables/replacement_chain.h"

namespace ostrevin {
namespace {

void ApplySimpleTable(std::string& text, const ConversionTable& table, bool& changed) {
  ReplacementChain chain(table);
  std::string result;
  result.reserve(text.size());
  if (!chain.Run(text, [&](std::string_view piece) { result.append(piece); })) return;
  text.swap(result);
  changed = true;
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
