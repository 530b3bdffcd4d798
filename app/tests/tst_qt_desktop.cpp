// The real Desktop's Qt dialogs, answered from a timer: message boxes with
// Japanese buttons and the right icons, file dialogs whose type entries show
// their texts as given while matching by their own patterns, Qt's Japanese
// translation, and chosen paths that get their bytes back.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/chosen_path.h"
#include "app/japanese_ui.h"
#include "app/qt_desktop.h"

using ostrevin::MessageIcon;
using namespace ostrevin::app;

namespace {

// Runs `act` on the next modal dialog of type T once it is open.
template <typename T>
void WhenOpen(std::function<void(T&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    act(*dialog);
  });
}

QStringList ButtonTexts(QMessageBox& box) {
  QStringList texts;
  for (QAbstractButton* button : box.buttons()) texts << button->text();
  return texts;
}

}  // namespace

class QtDesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void question_has_yes_and_no() {
    const struct {
      const char* press;  // a button text, or "Esc"
      bool answer;
    } rows[] = {{"はい", true}, {"いいえ", false}, {"Esc", false}};
    for (const auto& row : rows) {
      const QString press = QString::fromUtf8(row.press);
      QtDesktop desktop;
      bool seen = false;
      WhenOpen<QMessageBox>([&](QMessageBox& box) {
        QCOMPARE(box.windowTitle(), QStringLiteral("確認"));
        QCOMPARE(box.text(), QStringLiteral("変換を実行します。よろしいですか？"));
        QCOMPARE(box.icon(), QMessageBox::Question);
        QCOMPARE(ButtonTexts(box), (QStringList{QStringLiteral("はい"), QStringLiteral("いいえ")}));
        seen = true;
        if (press == QStringLiteral("Esc")) QTest::keyClick(&box, Qt::Key_Escape);
        for (QAbstractButton* button : box.buttons()) {
          if (button->text() == press) button->click();
        }
      });
      const bool result =
          desktop.AskYesNo(nullptr, QStringLiteral("変換を実行します。よろしいですか？"),
                           QStringLiteral("確認"), MessageIcon::kQuestion);
      QVERIFY2(seen, row.press);
      QVERIFY2(result == row.answer, row.press);
    }
  }

  void message_has_ok_and_its_icon() {
    const std::pair<MessageIcon, QMessageBox::Icon> rows[] = {
        {MessageIcon::kNone, QMessageBox::NoIcon},
        {MessageIcon::kExclamation, QMessageBox::Warning},
        {MessageIcon::kStop, QMessageBox::Critical}};
    for (const auto& [icon, expected] : rows) {
      QtDesktop desktop;
      bool seen = false;
      WhenOpen<QMessageBox>([&](QMessageBox& box) {
        QCOMPARE(box.windowTitle(), QStringLiteral("エラー"));
        QCOMPARE(box.text(), QStringLiteral("変換元ファイルがリストにありません"));
        QCOMPARE(box.icon(), expected);
        QCOMPARE(ButtonTexts(box), QStringList{QStringLiteral("OK")});
        seen = true;
        QTest::keyClick(&box, Qt::Key_Return);
      });
      desktop.ShowMessage(nullptr, QStringLiteral("変換元ファイルがリストにありません"),
                          QStringLiteral("エラー"), icon);
      QVERIFY(seen);
    }
  }

  void type_entries_match_by_their_patterns() {
    QtDesktop desktop;
    FileDialogRequest request;
    request.title = QStringLiteral("変換テーブルの選択");
    request.filters = {
        {QStringLiteral("変換テーブルファイル (*.txt;*.tbl;*.dic)"),
         {QStringLiteral("*.txt"), QStringLiteral("*.tbl"), QStringLiteral("*.dic")}},
        {QStringLiteral("すべてのファイル (*.*)"), {QStringLiteral("*")}}};
    request.default_suffix = QStringLiteral("txt");
    bool seen = false;
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
      QCOMPARE(dialog.windowTitle(), QStringLiteral("変換テーブルの選択"));
      QCOMPARE(dialog.defaultSuffix(), QStringLiteral("txt"));
      QCOMPARE(dialog.nameFilters(),
               (QStringList{request.filters[0].label, request.filters[1].label}));
      auto* model = dialog.findChild<QFileSystemModel*>();
      QVERIFY(model != nullptr);
      QVERIFY(!(model->filter() & QDir::CaseSensitive));
      QCOMPARE(model->nameFilters(), request.filters[0].patterns);
      // The person picks "すべてのファイル (*.*)": names without a dot match too.
      auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(types != nullptr);
      types->setCurrentIndex(1);
      emit types->activated(1);
      emit types->textActivated(types->itemText(1));
      QCOMPARE(model->nameFilters(), QStringList{QStringLiteral("*")});
      seen = true;
      dialog.reject();
    });
    QCOMPARE(desktop.ChooseOpenFile(nullptr, request), std::optional<std::string>());
    QVERIFY(seen);
  }

  void standard_dialogs_are_japanese() {
    QTranslator translator;
    if (!ostrevin::app::InstallQtJapanese(translator)) {
      QSKIP("Qt's Japanese translation (qt6-translations-l10n) is not installed");
    }
    QVERIFY(QCoreApplication::translate("QFileDialog", "Save As") != QStringLiteral("Save As"));
    QtDesktop desktop;
    FileDialogRequest request;  // no title: the platform's own, translated
    request.filters = {{QStringLiteral("設定ファイル (*.ini)"), {QStringLiteral("*.ini")}}};
    QString title;
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
      title = dialog.windowTitle();
      dialog.reject();
    });
    (void)desktop.ChooseSaveFile(nullptr, request);
    QCOMPARE(title, QCoreApplication::translate("QFileDialog", "Save As"));
    QCoreApplication::removeTranslator(&translator);
  }

  // Qt shows names that are not UTF-8 (here Shift-JIS: 0x95 0x5C is 表, 0x82
  // 0xA0 is あ) with replacement characters; the chosen path keeps its bytes.
  void chosen_paths_come_back_as_their_bytes() {
    const struct {
      const char* relative;  // below the temporary folder
      bool create;
    } rows[] = {{"日本語.txt", true},
                {"\x95\x5c.txt", true},
                {"\x95\x5c/\x82\xa0.ini", true},
                {"\x95\x5c/new.ini", false}};  // a new file to save
    for (const auto& row : rows) {
      QTemporaryDir dir;
      const std::string path = dir.path().toStdString() + "/" + row.relative;
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      if (row.create) std::ofstream(path) << "x";
      QCOMPARE(QByteArray::fromStdString(ChosenPathBytes(DisplayPath(path))),
               QByteArray::fromStdString(path));
    }
  }
};

QTEST_MAIN(QtDesktopTest)
#include "tst_qt_desktop.moc"
