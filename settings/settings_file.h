// User settings files: the options (section "Folder") together with the file
// list (section "Files": Count and file0, file1, ...).
#pragma once

#include <string>
#include <vector>

#include "settings/conversion_options.h"

namespace ostrevin {

struct SettingsFileContents {
  ConversionOptions options;
  std::vector<std::string> files;
};

// Reads options (with the defaults of LoadOptions) and the file list. Count
// (default 0) gives the number of entries; a Count that is negative or not a
// number gives none, and one larger than the number of lines of the file is
// taken as that number of lines. A missing "file<i>" key is an empty entry.
// A file that cannot be read gives the defaults and an empty list.
[[nodiscard]] SettingsFileContents LoadSettingsFile(const std::string& path);

// Writes the options, then replaces section "Files" (deleted first, so no
// stale keys stay) with Count and one "file<i>" key per entry in list order;
// other sections and keys are kept. Returns 0 or an errno; EINVAL when some
// text cannot be stored (a path holding CR, LF or NUL), in which case the file
// is not touched.
[[nodiscard]] int SaveSettingsFile(const std::string& path, const ConversionOptions& options,
                                   const std::vector<std::string>& files);

}  // namespace ostrevin
