// The window's calls into the settings library: the options in the settings
// file, and the user's settings files with options and file list.
#pragma once

#include <string>
#include <vector>

#include "settings/conversion_options.h"

namespace ostrevin::app {

struct SettingsFileContents {
  ConversionOptions options;
  std::vector<std::string> files;  // in the file's order
};

// The nine options of section Folder, with the defaults for what is missing.
[[nodiscard]] ConversionOptions LoadOptionsFile(const std::string& path);
// Writes the nine options; 0 or the system error number.
[[nodiscard]] int SaveOptionsFile(const std::string& path, const ConversionOptions& options);
// Options and file list of a user's settings file.
[[nodiscard]] SettingsFileContents LoadSettingsFileContents(const std::string& path);
// Writes options and file list; 0 or the system error number.
[[nodiscard]] int SaveSettingsFileContents(const std::string& path,
                                           const ConversionOptions& options,
                                           const std::vector<std::string>& files);

}  // namespace ostrevin::app
