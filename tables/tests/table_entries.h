// Test helper: a ConversionTable's entries as (search, replacement) pairs, for
// comparing whole tables in one assertion.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tables/conversion_table.h"

namespace ostrevin::testing {

using Entries = std::vector<std::pair<std::string, std::string>>;

inline Entries AllEntries(const ConversionTable& table) {
  Entries out;
  for (std::size_t i = 0; i < table.size(); ++i) {
    out.emplace_back(table.Search(i), table.Replacement(i));
  }
  return out;
}

}  // namespace ostrevin::testing
