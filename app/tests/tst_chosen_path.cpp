// Paths handed back by Qt's dialogs as text get their bytes back, also where a
// folder or file name is not valid UTF-8 (Shift-JIS names on a UTF-8 system).
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/chosen_path.h"
#include "app/japanese_ui.h"

using ostrevin::app::ChosenPathBytes;
using ostrevin::app::DisplayPath;

class ChosenPathTest : public QObject {
  Q_OBJECT

 private slots:
  void paths_come_back_as_their_bytes_data();
  void paths_come_back_as_their_bytes();
};

void ChosenPathTest::paths_come_back_as_their_bytes_data() {
  QTest::addColumn<QByteArray>("relative");  // below the temporary folder
  QTest::addColumn<bool>("create");
  // 0x95 0x5C is 表 and 0x82 0xA0 is あ in Shift-JIS; neither is UTF-8.
  QTest::newRow("utf-8 name") << QByteArray("日本語.txt") << true;
  QTest::newRow("shift-jis file") << QByteArray("\x95\x5c.txt") << true;
  QTest::newRow("shift-jis folder and file") << QByteArray("\x95\x5c/\x82\xa0.ini") << true;
  QTest::newRow("new file in shift-jis folder") << QByteArray("\x95\x5c/new.ini") << false;
}

void ChosenPathTest::paths_come_back_as_their_bytes() {
  QFETCH(QByteArray, relative);
  QFETCH(bool, create);
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/" + relative.toStdString();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (create) std::ofstream(path) << "x";
  const QString shown = DisplayPath(path);
  QCOMPARE(QByteArray::fromStdString(ChosenPathBytes(shown)), QByteArray::fromStdString(path));
}

QTEST_MAIN(ChosenPathTest)
#include "tst_chosen_path.moc"
