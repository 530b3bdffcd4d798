// A conversion run from the "変換実行" button, one case per way through the
// window: the boxes' texts, captions and icons in order, the status line,
// progress and cursor, and the window refusing input meanwhile.
#include <sys/resource.h>

#include <QAbstractScrollArea>
#include <csignal>

#include "app/stop_signal.h"
#include "window_fixture.h"

using ostrevin::app::MainDialog;
using ostrevin::app::testing::ReadFile;
using ostrevin::app::testing::WindowFixture;

namespace {
const QString kConfirm = QStringLiteral("ask[確認/question] 変換を実行します。よろしいですか？");
const QString kEnd = QStringLiteral("変換終了！");
const QString kStop = QStringLiteral("ask[確認/question] 変換を中止しますか？");
}  // namespace

class ConversionRunTest : public QObject {
  Q_OBJECT

 private slots:
  // A stop signal: the handler only records it; an idle window closes as
  // reject() does (settings saved), a running one after the file under way.
  void stop_signal_closes_an_idle_window_and_stops_a_run() {
    ostrevin::app::SignalStop stop_signals;
    {
      WindowFixture f;
      MainDialog& w = f.Open();
      QObject::connect(&stop_signals, &ostrevin::app::SignalStop::StopRequested, &w,
                       &MainDialog::Stop);
      raise(SIGTERM);
      QTRY_VERIFY(!w.isVisible());
      QVERIFY(std::filesystem::exists(f.SettingsPath()));
    }
    WindowFixture f;
    f.stop = &stop_signals.Request();  // still set by the signal above
    MainDialog& w = f.OpenWithFiles({"a.txt"}, "x\n");
    f.desktop.answers = {true};
    f.Click(MainDialog::kRun);
    QCOMPARE(f.desktop.calls, QStringList{kConfirm});
    QVERIFY(!std::filesystem::exists(f.Path("out/a.txt")));
    QVERIFY(!w.isVisible());
  }

  void empty_list_shows_error_without_question() {
    WindowFixture f;
    f.Open();
    f.Click(MainDialog::kRun);
    QCOMPARE(
        f.desktop.calls,
        QStringList{QStringLiteral("message[エラー/none] 変換元ファイルがリストにありません")});
    QCOMPARE(f.Status(), QString());
  }

  void declined_confirmation_changes_nothing() {
    WindowFixture f;
    f.OpenWithFiles({"a.txt"}, "x\n");
    f.SetStatus(QStringLiteral("前回"), 7);
    f.desktop.answers = {false};
    f.Click(MainDialog::kRun);
    QCOMPARE(f.desktop.calls, QStringList{kConfirm});
    QCOMPARE(f.Status(), QStringLiteral("前回"));
    QCOMPARE(f.Progress(), 7);
    QVERIFY(!std::filesystem::exists(f.Path("out/a.txt")));
  }

  // The second name is "表.txt" in Shift-JIS (0x95 0x5C), not valid UTF-8: the
  // run gets the list's bytes, not its display text.
  void declined_overwrite_shows_error_word_and_goes_on() {
    WindowFixture f;
    MainDialog& w = f.OpenWithFiles({"a.txt", "\x95\x5c.txt"}, "text\n");
    ostrevin::app::testing::WriteFile(f.Path("out/a.txt"), "keep");
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
    QCOMPARE(f.desktop.calls, (QStringList{kConfirm, question, QStringLiteral("beep")}));
    for (QWidget* owner : f.desktop.owners) QCOMPARE(owner, &w);
    // While the overwrite box was open: the pair on the status line, and the
    // arrow over the busy cursor.
    QCOMPARE(statuses.last(),
             QString::fromStdString(f.Path("in/a.txt") + " -> " + f.Path("out/a.txt")));
    QCOMPARE(cursors.last(), Qt::ArrowCursor);
    QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("keep"));
    QCOMPARE(ReadFile(f.Path("out/\x95\x5c.txt")), std::string("text\r\n"));
    QCOMPARE(f.Status(), kEnd);
    auto* progress = f.Control<QProgressBar>(MainDialog::kProgress);
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 2);
    QCOMPARE(progress->value(), 2);
    QCOMPARE(QApplication::overrideCursor(), nullptr);  // the busy cursor is off again
  }

  // Eleven more entries would replace out/a.txt: one box before the first file
  // names ten and counts the eleventh; the rest of the list is converted.
  void same_output_entries_in_one_box_before_the_first_file() {
    WindowFixture f;
    std::vector<std::string> names = {"a.txt"};
    for (int i = 0; i < 11; ++i) {
      const std::string folder = "d" + std::to_string(10 + i);
      std::filesystem::create_directories(f.Path("in/" + folder));
      names.push_back(folder + "/a.txt");
    }
    names.push_back("b.txt");
    f.OpenWithFiles(names, "x\n");
    f.desktop.answers = {true};
    QStringList statuses;
    f.desktop.during_message = [&f, &statuses] { statuses << f.Status(); };
    f.Click(MainDialog::kRun);
    QStringList named;
    for (int i = 0; i < 10; ++i) {
      named << QString::fromStdString(f.Path("in/d" + std::to_string(10 + i) + "/a.txt"));
    }
    const QString box = QStringLiteral(
                            "message[エラー/exclamation] %1\nほか 1 件 は、この変換で既に出力した"
                            "ファイルと同じ名前になるため、変換しません。")
                            .arg(named.join(QLatin1Char('\n')));
    QCOMPARE(f.desktop.calls, (QStringList{kConfirm, box, QStringLiteral("beep")}));
    QCOMPARE(statuses, QStringList{QString()});  // no file had begun
    QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("x\r\n"));
    QCOMPARE(ReadFile(f.Path("out/b.txt")), std::string("x\r\n"));
    QCOMPARE(f.Status(), kEnd);
  }

  // A second run and list changes are refused meanwhile; Esc, the close box
  // and "終了" (clicked as the window system delivers it) ask to stop.
  void window_takes_no_input_during_a_run() {
    WindowFixture f;
    MainDialog& w = f.OpenWithFiles({"a.txt"}, "x\n");
    f.desktop.answers = {false, false, false, true};  // three times No to stopping
    bool tried = false;
    f.desktop.during_question = [&] {
      if (tried) return;
      tried = true;
      QVERIFY(w.IsRunning());
      f.Click(MainDialog::kRun);
      f.Click(MainDialog::kClearList);
      QTest::mouseDClick(f.Control<QAbstractScrollArea>(MainDialog::kList)->viewport(),
                         Qt::LeftButton);
      QTest::keyClick(&w, Qt::Key_Escape);
      w.close();
      QWidget* exit = f.Control(MainDialog::kExit);
      QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {},
                        exit->mapTo(&w, exit->rect().center()));
    };
    f.Click(MainDialog::kRun);
    QVERIFY(tried);
    QCOMPARE(f.desktop.calls, (QStringList{kConfirm, kStop, kStop, kStop, QStringLiteral("beep")}));
    QCOMPARE(w.Entries().size(), std::size_t{1});
    QVERIFY(w.isVisible());
    QVERIFY(!w.IsRunning());
    f.Click(MainDialog::kClearList);  // input reaches the window again after the run
    QVERIFY(w.Entries().empty());
  }

  // Asked during the first of three files, Yes stops the run after it: its
  // output stays, the others are not written; the close box and "終了" then
  // close the window with the settings saved.
  void stopping_a_run_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"Esc", "close box", "終了"}) QTest::newRow(way) << way;
  }
  void stopping_a_run() {
    QFETCH(QString, way);
    WindowFixture f;
    MainDialog& w = f.OpenWithFiles({"a.txt", "b.txt", "c.txt"}, "x\n");
    ostrevin::app::testing::WriteFile(f.Path("out/a.txt"), "old");
    f.desktop.answers = {true, true, true};  // run, stop, overwrite a.txt
    int questions = 0;
    f.desktop.during_question = [&] {
      if (++questions != 2) return;  // the overwrite question of the first file
      if (way == QStringLiteral("Esc")) QTest::keyClick(&w, Qt::Key_Escape);
      if (way == QStringLiteral("close box")) w.close();
      if (way == QStringLiteral("終了")) f.Click(MainDialog::kExit);
    };
    f.Click(MainDialog::kRun);
    QCOMPARE(f.desktop.Boxes().size(), 3);
    QCOMPARE(f.desktop.Boxes()[2], kStop);
    QVERIFY(!f.desktop.calls.contains(QStringLiteral("beep")));
    QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("x\r\n"));
    QVERIFY(!std::filesystem::exists(f.Path("out/b.txt")));
    QVERIFY(!std::filesystem::exists(f.Path("out/c.txt")));
    QCOMPARE(f.Status(), QStringLiteral("変換を中止しました。"));
    QCOMPARE(w.isVisible(), way == QStringLiteral("Esc"));
    const bool saved = ReadFile(f.SettingsPath()).find("NoOutput=") != std::string::npos;
    QCOMPARE(saved, way != QStringLiteral("Esc"));
  }

  // "すべてはい" answers the overwrite questions of the rest of the run.
  void yes_to_all_answers_the_remaining_questions() {
    WindowFixture f;
    f.OpenWithFiles({"a.txt", "b.txt", "c.txt"}, "x\n");
    for (const char* name : {"out/a.txt", "out/b.txt", "out/c.txt"}) {
      ostrevin::app::testing::WriteFile(f.Path(name), "old");
    }
    f.desktop.answers = {true};
    f.desktop.answers_for_all = {ostrevin::Answer::kYesToAll};
    f.Click(MainDialog::kRun);
    QCOMPARE(f.desktop.Boxes().size(), 2);
    for (const char* name : {"out/a.txt", "out/b.txt", "out/c.txt"}) {
      QCOMPARE(ReadFile(f.Path(name)), std::string("x\r\n"));
    }
  }

  void missing_destination_gives_one_message_and_writes_nothing() {
    WindowFixture f;
    f.OpenWithFiles({"a.txt", "b.txt"}, "x\n");
    std::filesystem::remove(f.Path("out"));
    f.desktop.answers = {true};
    f.Click(MainDialog::kRun);
    QCOMPARE(f.desktop.calls,
             (QStringList{kConfirm,
                          QStringLiteral("message[エラー/exclamation] 変換先のフォルダがない"
                                         "か、\n変換先ファイルをオープンできません。(Error:2)")}));
    QVERIFY(!std::filesystem::exists(f.Path("out")));
    QCOMPARE(f.Status(), QString());
  }

  void file_error_ends_the_run_with_stop_icon() {
    WindowFixture f;
    f.OpenWithFiles({"a.txt", "b.txt"}, std::string(4096, 'x'));
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
    // The run ended at the first file: no beep, no end text.
    QCOMPARE(f.desktop.calls.size(), 2);
    QCOMPARE(f.desktop.calls[0], kConfirm);
    QVERIFY2(f.desktop.calls[1].startsWith(QStringLiteral("message[ostrevin/stop] ")),
             qPrintable(f.desktop.calls[1]));
    QVERIFY(f.desktop.calls[1].contains(QString::fromStdString(f.Path("out/a.txt"))) ||
            f.desktop.calls[1].contains(QString::fromStdString(f.Path("in/a.txt"))));
    QVERIFY(f.Status() != kEnd);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!f.window->IsRunning());
  }
};

QTEST_MAIN(ConversionRunTest)
#include "tst_conversion_run.moc"
