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

  // Eleven more entries would replace out/a.txt: one box before the first
  // file names ten and counts the eleventh. The question about the existing
  // out/a.txt comes over the busy cursor with the arrow, the pair on the
  // status line; declined, the run goes on. The last name is "表.txt" in
  // Shift-JIS (0x95 0x5C), not valid UTF-8: the run gets the list's bytes.
  void boxes_during_a_run() {
    WindowFixture f;
    std::vector<std::string> names = {"a.txt", "\x95\x5c.txt"};
    QStringList named;
    for (int i = 10; i <= 20; ++i) {
      const std::string name = "d" + std::to_string(i) + "/a.txt";
      std::filesystem::create_directories(f.Path("in/d" + std::to_string(i)));
      names.push_back(name);
      if (i < 20) named << QString::fromStdString(f.Path("in/" + name));
    }
    MainDialog& w = f.OpenWithFiles(names, "text\n");
    ostrevin::app::testing::WriteFile(f.Path("out/a.txt"), "keep");
    f.desktop.answers = {true, false};
    QStringList statuses;
    QList<Qt::CursorShape> cursors;
    f.desktop.during_box = [&f, &statuses, &cursors] {
      statuses << f.Status();
      const QCursor* cursor = QApplication::overrideCursor();
      cursors << (cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
    };
    f.Click(MainDialog::kRun);
    const QString same = QStringLiteral(
                             "message[エラー/exclamation] %1\nほか 1 件 は、この変換で既に出力した"
                             "ファイルと同じ名前になるため、変換しません。")
                             .arg(named.join(QLatin1Char('\n')));
    const QString out_a = QString::fromStdString(f.Path("out/a.txt"));
    const QString question =
        QStringLiteral("ask[確認/question] %1 は上書きされます。よろしいですか？").arg(out_a);
    QCOMPARE(f.desktop.calls, (QStringList{kConfirm, same, question, QStringLiteral("beep")}));
    for (QWidget* owner : f.desktop.owners) QCOMPARE(owner, &w);
    QCOMPARE(statuses, (QStringList{QString(), QString(),
                                    QString::fromStdString(f.Path("in/a.txt")) + " -> " + out_a}));
    QCOMPARE(cursors.last(), Qt::ArrowCursor);
    QCOMPARE(ReadFile(f.Path("out/a.txt")), std::string("keep"));
    QCOMPARE(ReadFile(f.Path("out/\x95\x5c.txt")), std::string("text\r\n"));
    QCOMPARE(f.Status(), kEnd);
    auto* progress = f.Control<QProgressBar>(MainDialog::kProgress);
    QCOMPARE((QList<int>{progress->minimum(), progress->maximum(), progress->value()}),
             (QList<int>{0, 13, 13}));
    QCOMPARE(QApplication::overrideCursor(), nullptr);  // the busy cursor is off again
  }

  // A second run and list changes are refused meanwhile; Esc, the close box
  // and "終了" (clicked as the window system delivers it) ask to stop.
  void window_takes_no_input_during_a_run() {
    WindowFixture f;
    MainDialog& w = f.OpenWithFiles({"a.txt"}, "x\n");
    f.desktop.answers = {false, false, false, true};  // three times No to stopping
    bool tried = false;
    f.desktop.during_box = [&] {
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
    f.desktop.during_box = [&] {
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
