// The scan dialog: its controls, the report over the main window's list (found
// characters decoded for display) per category switch, the empty-list message,
// and opening it from the Scan menu.
#include <QPlainTextEdit>
#include <QTimer>

#include "app/scan_dialog.h"
#include "window_fixture.h"

using ostrevin::app::MainDialog;
using ostrevin::app::ScanDialog;
using ostrevin::app::testing::ScriptedDesktop;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

namespace {

template <typename T>
T* Find(ScanDialog& dialog, int id) {
  return dialog.findChild<T*>(MainDialog::ControlName(id));
}

void ClickButton(ScanDialog& dialog, int id) {
  auto* button = Find<QPushButton>(dialog, id);
  QVERIFY(button != nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

QString Block(const std::string& path, const QString& text) {
  return QStringLiteral("[%1]\n%2\n\n").arg(QString::fromStdString(path), text);
}

}  // namespace

class ScanDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // Every category starts ticked; the report lists, per file, what the
  // ticked ones find: ｱ (0xB1), ① (0x8740), Greek Τ (0x83 0xB1, whose trail
  // byte is no ｱ), ⅰ (0xFA40, user-defined area), and 0xA0 (no character).
  void controls_and_report_per_category() {
    const struct {
      QList<int> cleared;
      QString found;
    } rows[] = {
        {{}, QStringLiteral("ｱ①ⅰ")},
        {{ScanDialog::kHalfWidthKana}, QStringLiteral("①ⅰ")},
        {{ScanDialog::kUserDefined}, QStringLiteral("ｱ①")},
        {{ScanDialog::kHalfWidthKana, ScanDialog::kSpecial, ScanDialog::kExtended,
          ScanDialog::kUserDefined},
         QString()},
    };
    const std::pair<int, const char*> captions[] = {
        {ScanDialog::kHalfWidthKana, "半角カナ文字 （0xA0-0xFF）"},
        {ScanDialog::kSpecial, "特殊文字 （0x8540-0x889E）"},
        {ScanDialog::kExtended, "特殊外字・拡張文字 （0xEB40-0xEFFC）"},
        {ScanDialog::kUserDefined, "外字エリア （0xF040-0xFFFF）"},
        {ScanDialog::kScan, "スキャン(&S)"},
        {ScanDialog::kClose, "閉じる(&C)"}};
    WindowFixture f;
    const std::string found = f.Path("found.txt");
    const std::string missing = f.Path("missing.txt");
    WriteFile(found, "\xb1\x87\x40\x83\xb1\xfa\x40\xa0\r\n");
    const std::vector<std::string> files = {found, missing};
    for (const auto& row : rows) {
      f.desktop.calls.clear();
      ScanDialog dialog(f.desktop, files);
      QCOMPARE(dialog.windowTitle(), QStringLiteral("シフトJIS 機種依存文字の探索"));
      for (const auto& [id, text] : captions) {
        auto* button = Find<QAbstractButton>(dialog, id);
        QVERIFY2(button != nullptr, text);
        QCOMPARE(button->text(), QString::fromUtf8(text));
        QVERIFY2(button->sizeHint().width() <= button->width(), text);
        if (qobject_cast<QCheckBox*>(button) != nullptr) QVERIFY2(button->isChecked(), text);
      }
      QVERIFY(Find<QPlainTextEdit>(dialog, ScanDialog::kReport)->isReadOnly());
      QCOMPARE(dialog.ReportText(), QString());
      for (int id : row.cleared) Find<QCheckBox>(dialog, id)->setChecked(false);
      ClickButton(dialog, ScanDialog::kScan);
      const QString expected = (row.found.isEmpty() ? QString() : Block(found, row.found)) +
                               Block(missing, QStringLiteral("ファイルをオープンできません")) +
                               QStringLiteral("*** スキャン終了 ***\n");
      QCOMPARE(dialog.ReportText(), expected);
      QCOMPARE(f.desktop.calls, QStringList{QStringLiteral("beep")});
    }
  }

  void empty_list_keeps_the_report() {
    WindowFixture f;
    const std::string quiet = f.Path("quiet.txt");
    WriteFile(quiet, "ascii only\r\n");
    std::vector<std::string> files = {quiet};
    ScriptedDesktop& desktop = f.desktop;
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

  void opens_from_the_scan_menu_over_the_list() {
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
               Block(kana, QStringLiteral("ｱ")) + QStringLiteral("*** スキャン終了 ***\n"));
      ClickButton(*dialog, ScanDialog::kClose);
      checked = true;
    });
    f.Trigger("action_scan");
    QVERIFY(checked);
    QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &w);
  }
};

QTEST_MAIN(ScanDialogTest)
#include "tst_scan_dialog.moc"
