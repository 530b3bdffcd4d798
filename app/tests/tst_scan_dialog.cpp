// The scan dialog: its controls, the report of a scan over the main window's
// list (found characters decoded for display), the category switches, the
// empty-list message, and opening it from the Scan menu.
#include <QPlainTextEdit>
#include <QTimer>

#include "app/scan_dialog.h"
#include "scripted_desktop.h"

using ostrevin::app::MainDialog;
using ostrevin::app::ScanDialog;
using ostrevin::app::testing::ScriptedDesktop;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

namespace {

QCheckBox* Check(ScanDialog& dialog, int id) {
  return dialog.findChild<QCheckBox*>(MainDialog::ControlName(id));
}

void ClickButton(ScanDialog& dialog, int id) {
  auto* button = dialog.findChild<QPushButton*>(MainDialog::ControlName(id));
  QVERIFY(button != nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class ScanDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void dialog_starts_with_every_category_ticked();
  void report_lists_found_characters_per_file_data();
  void report_lists_found_characters_per_file();
  void empty_list_keeps_the_report();
  void opens_from_the_scan_menu_over_the_list();
};

void ScanDialogTest::dialog_starts_with_every_category_ticked() {
  ScriptedDesktop desktop;
  const std::vector<std::string> files;
  ScanDialog dialog(desktop, files);
  QCOMPARE(dialog.windowTitle(), QStringLiteral("シフトJIS 機種依存文字の探索"));
  const std::pair<int, const char*> boxes[] = {
      {ScanDialog::kHalfWidthKana, "半角カナ文字 （0xA0-0xFF）"},
      {ScanDialog::kSpecial, "特殊文字 （0x8540-0x889E）"},
      {ScanDialog::kExtended, "特殊外字・拡張文字 （0xEB40-0xEFFC）"},
      {ScanDialog::kUserDefined, "外字エリア （0xF040-0xFFFF）"}};
  for (const auto& [id, text] : boxes) {
    QCheckBox* box = Check(dialog, id);
    QVERIFY(box != nullptr);
    QCOMPARE(box->text(), QString::fromUtf8(text));
    QVERIFY(box->isChecked());
    QVERIFY(box->sizeHint().width() <= box->width());
  }
  auto* report = dialog.findChild<QPlainTextEdit*>(MainDialog::ControlName(ScanDialog::kReport));
  QVERIFY(report->isReadOnly());
  QCOMPARE(report->toPlainText(), QString());
  QCOMPARE(dialog.findChild<QPushButton*>(MainDialog::ControlName(ScanDialog::kScan))->text(),
           QStringLiteral("スキャン(&S)"));
  QCOMPARE(dialog.findChild<QPushButton*>(MainDialog::ControlName(ScanDialog::kClose))->text(),
           QStringLiteral("閉じる(&C)"));
}

void ScanDialogTest::report_lists_found_characters_per_file_data() {
  QTest::addColumn<QList<int>>("cleared");
  QTest::addColumn<QString>("first_block");
  // The file: ｱ (0xB1), ① (0x8740), Greek Τ (0x83 0xB1, whose trail byte is
  // no ｱ), ⅰ (0xFA40, user-defined area), and 0xA0 (no character).
  QTest::newRow("all") << QList<int>{} << QStringLiteral("ｱ①ⅰ");
  QTest::newRow("no kana") << QList<int>{ScanDialog::kHalfWidthKana} << QStringLiteral("①ⅰ");
  QTest::newRow("no user area") << QList<int>{ScanDialog::kUserDefined} << QStringLiteral("ｱ①");
  QTest::newRow("nothing") << QList<int>{ScanDialog::kHalfWidthKana, ScanDialog::kSpecial,
                                         ScanDialog::kExtended, ScanDialog::kUserDefined}
                           << QString();
}

void ScanDialogTest::report_lists_found_characters_per_file() {
  QFETCH(QList<int>, cleared);
  QFETCH(QString, first_block);
  QTemporaryDir dir;
  const std::string found = dir.path().toStdString() + "/found.txt";
  const std::string missing = dir.path().toStdString() + "/missing.txt";
  WriteFile(found, "\xb1\x87\x40\x83\xb1\xfa\x40\xa0\r\n");
  const std::vector<std::string> files = {found, missing};
  ScriptedDesktop desktop;
  ScanDialog dialog(desktop, files);
  for (int id : cleared) Check(dialog, id)->setChecked(false);
  ClickButton(dialog, ScanDialog::kScan);

  QString expected;
  if (!first_block.isEmpty()) {
    expected += QStringLiteral("[%1]\n%2\n\n").arg(QString::fromStdString(found), first_block);
  }
  expected += QStringLiteral("[%1]\nファイルをオープンできません\n\n*** スキャン終了 ***\n")
                  .arg(QString::fromStdString(missing));
  QCOMPARE(dialog.ReportText(), expected);
  QCOMPARE(desktop.calls, QList<QString>{QStringLiteral("beep")});
}

void ScanDialogTest::empty_list_keeps_the_report() {
  QTemporaryDir dir;
  const std::string quiet = dir.path().toStdString() + "/quiet.txt";
  WriteFile(quiet, "ascii only\r\n");
  std::vector<std::string> files = {quiet};
  ScriptedDesktop desktop;
  ScanDialog dialog(desktop, files);
  ClickButton(dialog, ScanDialog::kScan);
  QCOMPARE(dialog.ReportText(), QStringLiteral("*** スキャン終了 ***\n"));
  files.clear();  // the main window's list emptied meanwhile
  ClickButton(dialog, ScanDialog::kScan);
  QCOMPARE(desktop.Boxes(),
           QStringList{QStringLiteral(
               "message[エラー/exclamation] スキャン対象ファイルがリストにありません")});
  QCOMPARE(desktop.owners.back(), &dialog);
  QCOMPARE(dialog.ReportText(), QStringLiteral("*** スキャン終了 ***\n"));
}

void ScanDialogTest::opens_from_the_scan_menu_over_the_list() {
  WindowFixture f;
  const std::string kana = f.Path("kana.txt");
  WriteFile(kana, "\xb1");
  MainDialog& w = f.Open({kana});
  bool checked = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ScanDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->parentWidget(), &w);
    ClickButton(*dialog, ScanDialog::kScan);
    QCOMPARE(dialog->ReportText(),
             QStringLiteral("[%1]\nｱ\n\n*** スキャン終了 ***\n").arg(QString::fromStdString(kana)));
    ClickButton(*dialog, ScanDialog::kClose);
    checked = true;
  });
  w.findChild<QAction*>(QStringLiteral("action_scan"))->trigger();
  QVERIFY(checked);
  QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &w);
}

QTEST_MAIN(ScanDialogTest)
#include "tst_scan_dialog.moc"
