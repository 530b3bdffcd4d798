// What one conversion run holds while it walks the file list: the options,
// the host, the conversion table, the per-file change flag and the files it
// has already replaced in place.
#pragma once

#include <set>

#include "conversion/file_identity.h"
#include "core/host.h"
#include "settings/conversion_options.h"
#include "tables/conversion_table.h"

namespace ostrevin {

struct ConversionRun {
  ConversionRun(const ConversionOptions& run_options, Host& run_host)
      : options(run_options), host(run_host) {}

  const ConversionOptions& options;
  Host& host;
  ConversionTable table;
  // Reset at the start of each ConvertFile; only the stages set it.
  bool changed = false;
  // Files (as they are after the write) whose source was replaced by its own
  // converted text in this run; a later entry naming one is not converted again.
  std::set<FileIdentity> replaced_in_place;
};

}  // namespace ostrevin
