// Where the settings file and the read-me are looked for: names derived from
// the executable, the fallback folder for a read-only installation, and the
// creation of that folder.
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/settings_location.h"

using ostrevin::app::ApplicationName;
using ostrevin::app::ChooseSettingsPath;
using ostrevin::app::EnsureParentFolder;
using ostrevin::app::ExecutablePath;
using ostrevin::app::SettingsEnvironment;
using ostrevin::app::SiblingPath;

class SettingsLocationTest : public QObject {
  Q_OBJECT

 private slots:
  void sibling_and_application_name_data();
  void sibling_and_application_name();
  void settings_path_choice_data();
  void settings_path_choice();
  void parent_folder_is_created();
  void executable_path_is_this_program();
};

void SettingsLocationTest::sibling_and_application_name_data() {
  QTest::addColumn<QString>("executable");
  QTest::addColumn<QString>("htm");
  QTest::addColumn<QString>("name");
  QTest::newRow("no extension") << "/usr/bin/ostrevin"
                                << "/usr/bin/ostrevin.htm"
                                << "ostrevin";
  QTest::newRow("extension") << "/opt/t/conv.bin"
                             << "/opt/t/conv.htm"
                             << "conv";
  QTest::newRow("last dot") << "/opt/t/conv.1.exe"
                            << "/opt/t/conv.1.htm"
                            << "conv.1";
  QTest::newRow("dot in folder only") << "/opt/v1.2/conv"
                                      << "/opt/v1.2/conv.htm"
                                      << "conv";
  QTest::newRow("leading dot") << "/opt/.conv"
                               << "/opt/.conv.htm"
                               << ".conv";
  QTest::newRow("no folder") << "conv.x"
                             << "conv.htm"
                             << "conv";
}

void SettingsLocationTest::sibling_and_application_name() {
  QFETCH(QString, executable);
  QFETCH(QString, htm);
  QFETCH(QString, name);
  QCOMPARE(QString::fromStdString(SiblingPath(executable.toStdString(), ".htm")), htm);
  QCOMPARE(QString::fromStdString(ApplicationName(executable.toStdString())), name);
}

void SettingsLocationTest::settings_path_choice_data() {
  QTest::addColumn<QStringList>("existing");  // paths that exist
  QTest::addColumn<QStringList>("writable");  // paths that may be written
  QTest::addColumn<QString>("xdg");
  QTest::addColumn<QString>("home");
  QTest::addColumn<QString>("expected");
  const QString beside = QStringLiteral("/opt/o/bin/ostrevin.ini");
  QTest::newRow("folder writable") << QStringList{} << QStringList{"/opt/o/bin"} << ""
                                   << "/h" << beside;
  QTest::newRow("file writable in read-only folder")
      << QStringList{beside} << QStringList{beside} << ""
      << "/h" << beside;
  QTest::newRow("file read-only in writable folder")
      << QStringList{beside} << QStringList{"/opt/o/bin"} << ""
      << "/h" << beside;
  QTest::newRow("read-only: XDG") << QStringList{beside} << QStringList{} << "/x/cfg"
                                  << "/h"
                                  << "/x/cfg/ostrevin/ostrevin.ini";
  QTest::newRow("read-only: XDG with slash") << QStringList{} << QStringList{} << "/x/cfg/"
                                             << "/h"
                                             << "/x/cfg/ostrevin/ostrevin.ini";
  QTest::newRow("read-only: relative XDG ignored") << QStringList{} << QStringList{} << "cfg"
                                                   << "/h"
                                                   << "/h/.config/ostrevin/ostrevin.ini";
  QTest::newRow("read-only: home") << QStringList{} << QStringList{} << ""
                                   << "/h/"
                                   << "/h/.config/ostrevin/ostrevin.ini";
  QTest::newRow("read-only, no home") << QStringList{} << QStringList{} << ""
                                      << "" << beside;
}

void SettingsLocationTest::settings_path_choice() {
  QFETCH(QStringList, existing);
  QFETCH(QStringList, writable);
  QFETCH(QString, xdg);
  QFETCH(QString, home);
  QFETCH(QString, expected);
  const SettingsEnvironment environment{"/opt/o/bin/ostrevin", xdg.toStdString(),
                                        home.toStdString()};
  const std::string chosen = ChooseSettingsPath(
      environment,
      [&](const std::string& path) { return existing.contains(QString::fromStdString(path)); },
      [&](const std::string& path) { return writable.contains(QString::fromStdString(path)); });
  QCOMPARE(QString::fromStdString(chosen), expected);
}

void SettingsLocationTest::parent_folder_is_created() {
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/a/b/ostrevin/ostrevin.ini";
  QVERIFY(EnsureParentFolder(file));
  QVERIFY(std::filesystem::is_directory(dir.path().toStdString() + "/a/b/ostrevin"));
  QVERIFY(EnsureParentFolder(file));  // already there
  // A file in the way is no folder.
  const std::string blocked = dir.path().toStdString() + "/a/b/ostrevin/ostrevin.ini/x.ini";
  std::ofstream(dir.path().toStdString() + "/a/b/ostrevin/ostrevin.ini") << "x";
  QVERIFY(!EnsureParentFolder(blocked));
}

void SettingsLocationTest::executable_path_is_this_program() {
  const std::string path = ExecutablePath("fallback");
  QVERIFY(path.ends_with("/tst_settings_location"));
  QVERIFY(std::filesystem::path(path).is_absolute());
}

QTEST_MAIN(SettingsLocationTest)
#include "tst_settings_location.moc"
