// The real Desktop's Qt dialogs, answered from a timer: message boxes with
// Japanese buttons and the right icons, file dialogs whose type entries show
// their texts as given while matching by their own patterns, Qt's Japanese
// translation, and chosen paths that get their bytes back; and documents
// opened by a watched, detached xdg-open.
#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>

#include "app/chosen_path.h"
#include "app/japanese_ui.h"
#include "app/qt_desktop.h"
#include "app/watched_launch.h"

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

constexpr auto kExecutable = std::filesystem::perms::owner_all;

// A shell script unless `body` names its own interpreter.
void WriteScript(const std::string& path, const std::string& body, std::filesystem::perms mode) {
  std::ofstream(path) << (body.starts_with("#!") ? "" : "#!/bin/sh\n") << body << "\n";
  std::filesystem::permissions(path, mode);
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
  // Questions have はい and いいえ (Esc: いいえ), for the rest of a run
  // すべてはい and すべていいえ too; messages have OK (Return); each its icon.
  void boxes_have_japanese_buttons_and_their_icons() {
    using ostrevin::Answer;
    const struct {
      char kind;  // q: AskYesNo, a: AskYesNoForAll, m: ShowMessage
      MessageIcon icon;
      QMessageBox::Icon shown;
      const char* press;  // a button text, "Esc" or "Return"
      Answer answer;
    } rows[] = {
        {'q', MessageIcon::kQuestion, QMessageBox::Question, "はい", Answer::kYes},
        {'q', MessageIcon::kQuestion, QMessageBox::Question, "いいえ", Answer::kNo},
        {'q', MessageIcon::kQuestion, QMessageBox::Question, "Esc", Answer::kNo},
        {'a', MessageIcon::kQuestion, QMessageBox::Question, "すべてはい", Answer::kYesToAll},
        {'a', MessageIcon::kQuestion, QMessageBox::Question, "すべていいえ", Answer::kNoToAll},
        {'a', MessageIcon::kQuestion, QMessageBox::Question, "はい", Answer::kYes},
        {'a', MessageIcon::kQuestion, QMessageBox::Question, "Esc", Answer::kNo},
        {'m', MessageIcon::kNone, QMessageBox::NoIcon, "Return", Answer::kNo},
        {'m', MessageIcon::kExclamation, QMessageBox::Warning, "Return", Answer::kNo},
        {'m', MessageIcon::kStop, QMessageBox::Critical, "Return", Answer::kNo}};
    const QString text = QStringLiteral("変換を実行します。よろしいですか？");
    const QString caption = QStringLiteral("確認");
    for (const auto& row : rows) {
      const QString press = QString::fromUtf8(row.press);
      QtDesktop desktop;
      bool seen = false;
      WhenOpen<QMessageBox>([&](QMessageBox& box) {
        QCOMPARE((QStringList{box.windowTitle(), box.text()}), (QStringList{caption, text}));
        QCOMPARE(box.icon(), row.shown);
        QCOMPARE(ButtonTexts(box).join(QLatin1Char(' ')),
                 row.kind == 'a' ? QStringLiteral("はい すべてはい いいえ すべていいえ")
                 : row.kind == 'q' ? QStringLiteral("はい いいえ")
                                   : QStringLiteral("OK"));
        seen = true;
        if (press == QStringLiteral("Esc")) QTest::keyClick(&box, Qt::Key_Escape);
        if (press == QStringLiteral("Return")) QTest::keyClick(&box, Qt::Key_Return);
        for (QAbstractButton* button : box.buttons()) {
          if (button->text() == press) button->click();
        }
      });
      Answer result = Answer::kNo;
      if (row.kind == 'a') result = desktop.AskYesNoForAll(nullptr, text, caption, row.icon);
      if (row.kind == 'q' && desktop.AskYesNo(nullptr, text, caption, row.icon)) {
        result = Answer::kYes;
      }
      if (row.kind == 'm') desktop.ShowMessage(nullptr, text, caption, row.icon);
      QVERIFY2(seen, row.press);
      QVERIFY2(result == row.answer, row.press);
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

  // --- Opening a document ---
  // The handler runs detached: whatever happens, no child is left for the
  // window to reap, and a quick failure is told apart from a handler that stays.
  void launch_tells_how_the_program_ended() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const struct {
      const char* script;  // nullptr: no such program
      std::filesystem::perms mode;
      LaunchOutcome outcome;
    } rows[] = {
        {"exit 0", kExecutable, LaunchOutcome::kSucceeded},
        {"exit 3", kExecutable, LaunchOutcome::kFailed},  // xdg-open: nothing can open it
        {"kill -KILL $$", kExecutable, LaunchOutcome::kFailed},
        {"exec sleep 3", kExecutable, LaunchOutcome::kStillRunning},
        // The window ignores SIGXFSZ (set below as it does) and may block
        // signals (SIGUSR2 below); the program starts with neither. awk looks,
        // as a shell would clear the mask itself.
        {"#!/usr/bin/awk -f\nBEGIN { while ((getline l < \"/proc/self/status\") > 0)\n"
         "  if (l ~ /^Sig(Ign|Blk):/ && l !~ /[ \\t]0+$/) exit 1 }",
         kExecutable, LaunchOutcome::kSucceeded},
        {"exit 0", std::filesystem::perms::owner_read, LaunchOutcome::kNotStarted},
        {nullptr, {}, LaunchOutcome::kNotStarted},
    };
    const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
    sigset_t usr2, mask;
    sigemptyset(&usr2);
    sigaddset(&usr2, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &usr2, &mask);
    int n = 0;
    for (const auto& row : rows) {
      const std::string program = folder + "/program" + std::to_string(n++);
      if (row.script != nullptr) WriteScript(program, row.script, row.mode);
      QCOMPARE(LaunchAndWatch(program, "x", std::chrono::milliseconds(300)), row.outcome);
      QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);  // ECHILD
    }
    std::signal(SIGXFSZ, xfsz);
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  }

  // xdg-open from PATH opens the document, given its path's bytes (here with
  // 0x95 0x5C, Shift-JIS 表); its failure is the desktop's.
  void document_is_opened_by_xdg_open() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string document = folder + "/\x95\x5c \xe8\xaa\xad.htm";  // 表 and UTF-8 読
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(folder) + ":" + path);
    QtDesktop desktop;
    for (const auto& [status, result] : {std::pair{0, 0}, std::pair{4, EIO}}) {
      WriteScript(folder + "/xdg-open",
                  "printf %s \"$1\" >\"$0.arg\"; exit " + std::to_string(status), kExecutable);
      QCOMPARE(desktop.OpenDocument(document), result);
      std::ifstream recorded(folder + "/xdg-open.arg", std::ios::binary);
      const std::string argument((std::istreambuf_iterator<char>(recorded)), {});
      QCOMPARE(QByteArray::fromStdString(argument), QByteArray::fromStdString(document));
    }
    qputenv("PATH", path);
  }
};

QTEST_MAIN(QtDesktopTest)
#include "tst_qt_desktop.moc"
