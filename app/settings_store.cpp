// Forwarding of the window's settings calls to the settings library.
#include "app/settings_store.h"

#include <cerrno>

namespace ostrevin::app {

// TODO(settings): forward to the settings library once settings/ provides
// LoadOptions/SaveOptions and LoadSettingsFile/SaveSettingsFile.
ConversionOptions LoadOptionsFile(const std::string&) { return {}; }
int SaveOptionsFile(const std::string&, const ConversionOptions&) { return ENOSYS; }
SettingsFileContents LoadSettingsFileContents(const std::string&) { return {}; }
int SaveSettingsFileContents(const std::string&, const ConversionOptions&,
                             const std::vector<std::string>&) {
  return ENOSYS;
}

}  // namespace ostrevin::app
