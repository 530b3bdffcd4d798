// ConverterApp: the application object. It sets up the Japanese face of Qt,
// fixes the settings file and the read-me's places from the executable once, and runs
// the main window as the program's only modal dialog.
#pragma once

#include <QTranslator>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"

namespace ostrevin::app {

class ConverterApp {
 public:
  // Needs a QApplication. `arguments` are the command line's arguments as
  // bytes, the program's name first.
  explicit ConverterApp(std::vector<std::string> arguments);

  // Shows the main window and returns when it has closed (the exit status).
  int Run();

  [[nodiscard]] const std::string& settings_path() const { return settings_path_; }
  [[nodiscard]] const std::vector<std::string>& readme_paths() const { return readme_paths_; }

 private:
  std::vector<std::string> arguments_;
  QTranslator translator_;
  std::unique_ptr<Desktop> desktop_;
  std::string executable_;
  std::string settings_path_;
  std::vector<std::string> readme_paths_;
};

}  // namespace ostrevin::app
