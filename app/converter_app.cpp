// Application start-up: translation, font, icon, paths, and the main window.
#include "app/converter_app.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>

#include "app/japanese_ui.h"
#include "app/main_dialog.h"
#include "app/qt_desktop.h"
#include "app/screenshots.h"
#include "app/settings_location.h"
#include "app/stop_signal.h"

namespace ostrevin::app {

ConverterApp::ConverterApp(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)), desktop_(std::make_unique<QtDesktop>()) {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  (void)InstallQtJapanese(translator_);  // without it Qt's own dialogs stay English
  QApplication::setFont(JapaneseDialogFont());
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/ostrevin/ostrevin.svg")));
  QApplication::setApplicationName(QStringLiteral("ostrevin"));
  QApplication::setApplicationVersion(QStringLiteral(OSTREVIN_VERSION_TEXT).mid(2));
  QGuiApplication::setDesktopFileName(QStringLiteral("ostrevin"));

  const std::string fallback = PathBytes(QCoreApplication::applicationFilePath());
  executable_ = ExecutablePath(fallback);
  settings_path_ = ChooseSettingsPath(executable_);
  readme_paths_ = ReadMePaths(executable_);
}

int ConverterApp::Run() {
  MainDialogSetup setup;
  setup.settings_path = settings_path_;
  setup.readme_paths = readme_paths_;
  setup.application_name = ApplicationName(executable_);
  if (arguments_.size() > 1) setup.arguments.assign(arguments_.begin() + 1, arguments_.end());
  SignalStop stop_signals;
  setup.stop = &stop_signals.Request();
  MainDialog dialog(*desktop_, std::move(setup));
  QObject::connect(&stop_signals, &SignalStop::StopRequested, &dialog, &MainDialog::Stop);
  ScheduleScreenshots(dialog, *desktop_);  // only when OSTREVIN_SCREENSHOTS names a folder
  dialog.exec();
  SignalStop::EndByStopSignal();
  return 0;
}

}  // namespace ostrevin::app
