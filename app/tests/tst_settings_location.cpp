// Where the settings file and the read-me are looked for: names derived from
// the executable, the read-me's place in an installation, the fallback folder
// for a read-only installation, and the creation of that folder.
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/settings_location.h"

using namespace ostrevin::app;

class SettingsLocationTest : public QObject {
  Q_OBJECT

 private slots:
  void sibling_application_name_and_readme_places() {
    const struct {
      const char *executable, *htm, *name, *installed;
    } rows[] = {
        {"/usr/bin/ostrevin", "/usr/bin/ostrevin.htm", "ostrevin",  // no extension
         "/usr/share/doc/ostrevin/ostrevin.htm"},
        {"/opt/t/conv.bin", "/opt/t/conv.htm", "conv", "/opt/share/doc/ostrevin/conv.htm"},
        {"/opt/t/conv.1.exe", "/opt/t/conv.1.htm", "conv.1",  // the last dot
         "/opt/share/doc/ostrevin/conv.1.htm"},
        {"/opt/v1.2/conv", "/opt/v1.2/conv.htm", "conv",  // a dot in the folder only
         "/opt/share/doc/ostrevin/conv.htm"},
        {"/opt/.conv", "/opt/.conv.htm", ".conv",
         "/share/doc/ostrevin/.conv.htm"},                                 // a leading dot
        {"/conv", "/conv.htm", "conv", "/share/doc/ostrevin/conv.htm"},    // no folder above "/"
        {"conv.x", "conv.htm", "conv", "../share/doc/ostrevin/conv.htm"},  // no folder
    };
    for (const auto& row : rows) {
      QCOMPARE(SiblingPath(row.executable, ".htm"), std::string(row.htm));
      QCOMPARE(ApplicationName(row.executable), std::string(row.name));
      QCOMPARE(ReadMePaths(row.executable), (std::vector<std::string>{row.htm, row.installed}));
    }
  }

  void settings_path_choice() {
    const QString beside = QStringLiteral("/opt/o/bin/ostrevin.ini");
    const QString fallback = QStringLiteral("/h/.config/ostrevin/ostrevin.ini");
    const QString xdg = QStringLiteral("/x/cfg/ostrevin/ostrevin.ini");
    const QString folder = QStringLiteral("/opt/o/bin");
    const QString manual = QStringLiteral("/opt/o/share/doc/ostrevin/ostrevin.htm");
    const struct {
      const char* note;
      QStringList existing, writable;
      const char *xdg, *home;
      QString expected;
    } rows[] = {
        {"folder writable", {}, {folder}, "", "/h", beside},
        {"file writable in read-only folder", {beside}, {beside}, "", "/h", beside},
        {"file read-only in writable folder", {beside}, {folder}, "", "/h", beside},
        {"read-only: XDG", {beside}, {}, "/x/cfg", "/h", xdg},
        {"read-only: XDG with slash", {}, {}, "/x/cfg/", "/h", xdg},
        {"read-only: relative XDG ignored", {}, {}, "cfg", "/h", fallback},
        {"read-only: home", {}, {}, "", "/h/", fallback},
        {"read-only, no home", {}, {}, "", "", beside},
        {"installed, folder writable", {manual}, {folder}, "", "/h", fallback},
        {"installed, file writable", {manual, beside}, {beside, folder}, "", "/h", fallback},
    };
    for (const auto& row : rows) {
      const std::string chosen = ChooseSettingsPath(
          SettingsEnvironment{"/opt/o/bin/ostrevin", row.xdg, row.home},
          [&](const std::string& path) {
            return row.existing.contains(QString::fromStdString(path));
          },
          [&](const std::string& path) {
            return row.writable.contains(QString::fromStdString(path));
          });
      QVERIFY2(QString::fromStdString(chosen) == row.expected, row.note);
    }
  }

  void parent_folder_is_created() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/a/b/ostrevin";
    QVERIFY(EnsureParentFolder(folder + "/ostrevin.ini"));
    QVERIFY(std::filesystem::is_directory(folder));
    QVERIFY(EnsureParentFolder(folder + "/ostrevin.ini"));  // already there
    std::ofstream(folder + "/ostrevin.ini") << "x";         // a file in the way is no folder
    QVERIFY(!EnsureParentFolder(folder + "/ostrevin.ini/x.ini"));
  }

  void executable_path_is_this_program() {
    const std::string path = ExecutablePath("fallback");
    QVERIFY(path.ends_with("/tst_settings_location"));
    QVERIFY(std::filesystem::path(path).is_absolute());
  }
};

QTEST_MAIN(SettingsLocationTest)
#include "tst_settings_location.moc"
