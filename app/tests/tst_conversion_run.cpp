// A whole conversion run from the "変換実行" button, with the message boxes
// answered through the scripted desktop: texts, captions, icons, the order of
// the calls, the files written, and the window refusing input meanwhile.
#include <sys/resource.h>

#include <csignal>

#include "scripted_desktop.h"

using ostrevin::app::MainDialog;
using ostrevin::app::testing::ReadFile;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

namespace {

const QString kConfirm = QStringLiteral("ask[確認/question] 変換を実行します。よろしいですか？");

// A window with `names` (files holding `content`) in its list and its
// destination set to the folder "out" of the fixture.
MainDialog& OpenWithFiles(WindowFixture& f, const std::vector<std::string>& names,
                          const std::string& content) {
  std::filesystem::create_directories(f.Path("in"));
  std::filesystem::create_directories(f.Path("out"));
  WriteFile(f.SettingsPath(), "[Folder]\nDestination=" + f.Path("out") + "\n");
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    paths.push_back(f.Path("in/" + name));
    WriteFile(paths.back(), content);
  }
  return f.Open(paths);
}

}  // namespace

class ConversionRunTest : public QObject {
  Q_OBJECT

 private slots:
  void empty_list_shows_error_without_question();
  void declined_confirmation_changes_nothing();
  void run_converts_every_entry_and_reports_the_end();
  void declined_overwrite_shows_error_word_and_goes_on();
  void window_takes_no_input_during_a_run();
  void non_utf8_name_is_converted_under_its_bytes();
  void file_error_ends_the_run_with_stop_icon();
};

void ConversionRunTest::empty_list_shows_error_without_question() {
  WindowFixture f;
  f.Open();
  f.Click(MainDialog::kRun);
  QCOMPARE(
      f.desktop.calls,
      QList<QString>{QStringLiteral("message[エラー/none] 変換元ファイルがリストにありません")});
  QCOMPARE(f.Status(), QString());
}

void ConversionRunTest::declined_confirmation_changes_nothing() {
  WindowFixture f;
  OpenWithFiles(f, {"a.txt"}, "x\n");
  f.Control<QLabel>(MainDialog::kStatus)->setText(QStringLiteral("前回"));
  f.Control<QProgressBar>(MainDialog::kProgress)->setValue(7);
  f.desktop.answers = {false};
  f.Click(MainDialog::kRun);
  QCOMPARE(f.desktop.calls, QList<QString>{kConfirm});
  QCOMPARE(f.Status(), QStringLiteral("前回"));
  QCOMPARE(f.Progress(), 7);
  QVERIFY(!std::filesystem::exists(f.Path("out/a.txt")));
}

void ConversionRunTest::run_converts_every_entry_and_reports_the_end() {
  WindowFixture f;
  OpenWithFiles(f, {"b.txt", "a.txt"}, "one\ntwo\n");
  f.desktop.answers = {true};
  f.Click(MainDialog::kRun);
  QCOMPARE(f.desktop.calls, (QList<QString>{kConfirm, QStringLiteral("beep")}));
  QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("one\r\ntwo\r\n"));
  QCOMPARE(ReadFile(f.Path("out/b.txt")), std::string("one\r\ntwo\r\n"));
  QCOMPARE(f.Status(), QStringLiteral("変換終了！"));
  auto* progress = f.Control<QProgressBar>(MainDialog::kProgress);
  QCOMPARE(progress->minimum(), 0);
  QCOMPARE(progress->maximum(), 2);
  QCOMPARE(progress->value(), 2);
  QCOMPARE(QApplication::overrideCursor(), nullptr);  // the busy cursor is off again
}

void ConversionRunTest::declined_overwrite_shows_error_word_and_goes_on() {
  WindowFixture f;
  OpenWithFiles(f, {"a.txt", "b.txt"}, "text\n");
  WriteFile(f.Path("out/a.txt"), "keep");
  f.desktop.answers = {true, false};
  QStringList statuses;
  QList<Qt::CursorShape> cursors;
  f.desktop.during_question = [&f, &statuses, &cursors] {
    statuses << f.Status();
    const QCursor* cursor = QApplication::overrideCursor();
    cursors << (cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
  };
  f.Click(MainDialog::kRun);
  const QString question =
      QStringLiteral("ask[確認/question] %1 は上書きされます。よろしいですか？")
          .arg(QString::fromStdString(f.Path("out/a.txt")));
  QCOMPARE(f.desktop.calls, (QList<QString>{kConfirm, question, QStringLiteral("beep")}));
  // The status line showed the pair being converted while the box was open.
  QCOMPARE(statuses.last(),
           QString::fromStdString(f.Path("in/a.txt") + " -> " + f.Path("out/a.txt")));
  // The overwrite question comes while the busy cursor is on: the box gets the arrow.
  QCOMPARE(cursors.last(), Qt::ArrowCursor);
  QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("keep"));
  QCOMPARE(ReadFile(f.Path("out/b.txt")), std::string("text\r\n"));
  QCOMPARE(f.Status(), QStringLiteral("変換終了！"));
}

void ConversionRunTest::window_takes_no_input_during_a_run() {
  WindowFixture f;
  MainDialog& w = OpenWithFiles(f, {"a.txt"}, "x\n");
  f.desktop.answers = {true};
  bool tried = false;
  f.desktop.during_question = [&] {
    if (tried) return;
    tried = true;
    QVERIFY(w.IsRunning());
    // A second run, a list change, a close and Esc: all refused meanwhile.
    f.Click(MainDialog::kRun);
    f.Click(MainDialog::kClearList);
    QTest::keyClick(&w, Qt::Key_Escape);
    w.close();
  };
  f.Click(MainDialog::kRun);
  QVERIFY(tried);
  QCOMPARE(f.desktop.calls, (QList<QString>{kConfirm, QStringLiteral("beep")}));
  QCOMPARE(w.Entries().size(), std::size_t{1});
  QVERIFY(w.isVisible());
  QVERIFY(!w.IsRunning());
  // Input reaches the window again after the run.
  f.Click(MainDialog::kClearList);
  QVERIFY(w.Entries().empty());
}

void ConversionRunTest::non_utf8_name_is_converted_under_its_bytes() {
  WindowFixture f;
  // "表.txt" in Shift-JIS (0x95 0x5C): not valid UTF-8.
  MainDialog& w = OpenWithFiles(f, {"\x95\x5c.txt"}, "a\rb\n");
  f.desktop.answers = {true};
  f.Click(MainDialog::kRun);
  QCOMPARE(ReadFile(f.Path("out/\x95\x5c.txt")), std::string("a\r\nb\r\n"));
  QCOMPARE(f.Status(), QStringLiteral("変換終了！"));
  for (QWidget* owner : f.desktop.owners) QCOMPARE(owner, &w);  // boxes owned by the window
}

void ConversionRunTest::file_error_ends_the_run_with_stop_icon() {
  WindowFixture f;
  OpenWithFiles(f, {"a.txt", "b.txt"}, std::string(4096, 'x'));
  // A file-size limit makes the write fail with EFBIG (SIGXFSZ is ignored).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit limit = old_limit;
  limit.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &limit);
  f.desktop.answers = {true};
  f.Click(MainDialog::kRun);
  setrlimit(RLIMIT_FSIZE, &old_limit);

  QCOMPARE(f.desktop.calls.size(), 2);
  QCOMPARE(f.desktop.calls[0], kConfirm);
  // The run ended at the first file: no beep, no end text.
  QVERIFY2(f.desktop.calls[1].startsWith(QStringLiteral("message[ostrevin/stop] ")),
           qPrintable(f.desktop.calls[1]));
  QVERIFY(f.desktop.calls[1].contains(QString::fromStdString(f.Path("out/a.txt"))) ||
          f.desktop.calls[1].contains(QString::fromStdString(f.Path("in/a.txt"))));
  QVERIFY(f.Status() != QStringLiteral("変換終了！"));
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QVERIFY(!f.window->IsRunning());
}

QTEST_MAIN(ConversionRunTest)
#include "tst_conversion_run.moc"
