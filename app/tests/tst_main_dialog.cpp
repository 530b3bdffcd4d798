// The main window driven offscreen: controls, layout, Tab order and menus, the
// options and their enabling rules, adding and removing entries, drops, the
// destination and table choices, settings files, help, the About box and
// every way of closing.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include "app/about_dialog.h"
#include "app/absolute_path.h"
#include "app/path_list_widget.h"
#include "window_fixture.h"

using namespace ostrevin::app;
using namespace ostrevin::app::testing;
using Strings = std::vector<std::string>;

namespace {

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// Every control in Tab order, the radio buttons (reached by arrow keys) and
// the texts last, with its edges in dialog units of the 351 x 307-unit window
// and the window edges it follows when the window grows (l, r, t, b).
struct ControlRow {
  int id;
  const char* caption;  // nullptr: no caption
  bool tab_stop;
  int left, right, top, bottom;
  const char* anchors;
};
const ControlRow kControls[] = {
    {MainDialog::kList, nullptr, true, 7, 222, 27, 202, "lrtb"},
    {MainDialog::kSelectFiles, "ファイル選択", true, 7, 76, 7, 23, "lt"},
    {MainDialog::kRemove, "リスト削除", true, 78, 149, 7, 23, "lt"},
    {MainDialog::kClearList, "全リスト消去", true, 151, 222, 7, 23, "lt"},
    {MainDialog::kDestinationButton, "変換先フォルダ", true, 7, 68, 207, 223, "lb"},
    {MainDialog::kTableButton, "変換テーブル選択", true, 7, 68, 226, 242, "lb"},
    {MainDialog::kRun, "変換実行", true, 273, 344, 250, 300, "rb"},
    {MainDialog::kOverWrite, "常に変換元に上書きする", true, 235, 323, 39, 49, "rt"},
    {MainDialog::kNoOutput, "無変換のファイルを出力しない", true, 235, 339, 53, 63, "rt"},
    {MainDialog::kKanjiConvert, "文字コードをシフトJIS に変換", true, 235, 336, 67, 77, "rt"},
    {MainDialog::kDeleteHtmlTag, "HTML タグを除去する", true, 235, 314, 137, 147, "rt"},
    {MainDialog::kUseTable, "変換テーブルを通す", true, 235, 310, 151, 161, "rt"},
    {MainDialog::kExit, "終了", true, 273, 344, 7, 23, "rt"},
    {MainDialog::kKanjiAuto, "自動判定", false, 245, 291, 81, 91, "rt"},
    {MainDialog::kKanjiEuc, "日本語EUC", false, 245, 291, 95, 105, "rt"},
    {MainDialog::kKanjiJis, "日本語JIS", false, 245, 291, 109, 119, "rt"},
    {MainDialog::kKanjiUtf8, "UTF-8", false, 245, 291, 123, 133, "rt"},
    {MainDialog::kSimpleReplace, "単純な文字列置換", false, 245, 315, 165, 175, "rt"},
    {MainDialog::kRegExpReplace, "正規表現で置換", false, 245, 308, 179, 189, "rt"},
    {MainDialog::kDestinationText, nullptr, false, 72, 342, 211, 219, "lrb"},
    {MainDialog::kTableText, nullptr, false, 72, 342, 230, 238, "lrb"},
    {MainDialog::kStatus, nullptr, false, 13, 259, 257, 279, "lrb"},
    {MainDialog::kProgress, nullptr, false, 13, 259, 283, 295, "lrb"},
};

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // --- Window, controls and menus ---
  void window_and_its_controls() {
    WindowFixture f;
    MainDialog& w = f.Open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Ostrevin"));
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.size(), w.minimumSize());  // the design's size, and the smallest
    const Qt::WindowFlags boxes =
        Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    QCOMPARE(w.windowFlags() & boxes, Qt::WindowCloseButtonHint);  // only the close box
    QVERIFY(f.Control<QPushButton>(MainDialog::kExit)->isDefault());
    // Neighbours in a row do not overlap.
    QVERIFY(f.Control(MainDialog::kSelectFiles)->geometry().right() <
            f.Control(MainDialog::kRemove)->geometry().left());
    QVERIFY(f.Control(MainDialog::kRemove)->geometry().right() <
            f.Control(MainDialog::kClearList)->geometry().left());
    // The status line is two lines of the dialog font high.
    QVERIFY(f.Control(MainDialog::kStatus)->height() >= 2 * QFontMetrics(w.font()).height() - 2);
    QStringList captions, wanted_captions, wanted_tab_stops;
    const int menu = w.findChild<QMenuBar*>()->height();  // the units start below it
    const double width = w.width(), height = w.height() - menu;
    for (const ControlRow& row : kControls) {
      const QString name = MainDialog::ControlName(row.id);
      QWidget* widget = f.Control(row.id);
      QVERIFY2(widget != nullptr, qPrintable(name));
      const QRect box = widget->geometry().translated(0, -menu).adjusted(0, 0, 1, 1);
      for (const double off :
           {box.left() / width - row.left / 351.0, box.right() / width - row.right / 351.0,
            box.top() / height - row.top / 307.0, box.bottom() / height - row.bottom / 307.0}) {
        QVERIFY2(qAbs(off) < 0.01, qPrintable(name));
      }
      if (row.tab_stop) wanted_tab_stops << name;
      QVERIFY2(bool(widget->focusPolicy() & Qt::TabFocus) == row.tab_stop, qPrintable(name));
      if (row.caption == nullptr) continue;
      auto* button = qobject_cast<QAbstractButton*>(widget);
      QVERIFY2(button != nullptr, qPrintable(name));
      captions << name + QLatin1Char(' ') + button->text();
      wanted_captions << name + QLatin1Char(' ') + QString::fromUtf8(row.caption);
      QVERIFY2(button->sizeHint().width() <= button->width(), row.caption);  // caption fits
    }
    QCOMPARE(captions, wanted_captions);
    // Walk the focus chain from the list, keeping the window's Tab stops.
    QStringList tab_stops;
    QWidget* start = f.Control(MainDialog::kList);
    QWidget* at = start;
    do {
      if ((at->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && at->window() == &w &&
          at->objectName().startsWith(QStringLiteral("control_"))) {
        tab_stops << at->objectName();
      }
      at = at->nextInFocusChain();
    } while (at != start);
    QCOMPARE(tab_stops, wanted_tab_stops);
  }

  // Grown, the window keeps every control at its distance to the edges it
  // follows; its size comes back from the program's own settings file, and
  // the design's size leaves no trace there.
  void resized_window_keeps_controls_in_place_and_its_size() {
    WindowFixture f;
    MainDialog& w = f.Open();
    QHash<int, QRect> design;
    for (const ControlRow& row : kControls) design[row.id] = f.Control(row.id)->geometry();
    const QSize extra(150, 90);
    w.resize(w.size() + extra);
    for (const ControlRow& row : kControls) {
      const QString anchors = QString::fromLatin1(row.anchors);
      const bool l = anchors.contains('l'), r = anchors.contains('r');
      const bool t = anchors.contains('t'), b = anchors.contains('b');
      const QRect before = design[row.id];
      const QRect wanted =
          before.adjusted(r && !l ? extra.width() : 0, b && !t ? extra.height() : 0,
                          r ? extra.width() : 0, b ? extra.height() : 0);
      QVERIFY2(f.Control(row.id)->geometry() == wanted,
               qPrintable(MainDialog::ControlName(row.id)));
    }
    const QSize grown = w.size();
    f.Click(MainDialog::kExit);
    const std::string saved = ReadFile(f.SettingsPath());
    QVERIFY2(saved.find("[Window]") != std::string::npos, saved.c_str());
    f.Open();
    QCOMPARE(f.window->size(), grown);
    f.window->resize(f.window->minimumSize());
    f.Click(MainDialog::kExit);
    QVERIFY(ReadFile(f.SettingsPath()).find("Window") == std::string::npos);
    // A settings file of the person's own holds no window size.
    f.Open();
    f.window->resize(grown);
    f.desktop.save_file = f.Path("mine.ini");
    f.Trigger("action_save_settings");
    QVERIFY(ReadFile(f.Path("mine.ini")).find("Width") == std::string::npos);
  }

  void arrow_keys_reach_and_select_radio_buttons() {
    WindowFixture f;
    f.Settings("KanjiConvert=1\nKanjiCode=1\n");
    MainDialog& w = f.Open();
    QApplication::setActiveWindow(&w);
    auto* check = f.Control<QCheckBox>(MainDialog::kKanjiConvert);
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Down);  // into the group, at its selected button
    auto* euc = f.Control<QRadioButton>(MainDialog::kKanjiEuc);
    QCOMPARE(QApplication::focusWidget(), euc);
    QTest::keyClick(euc, Qt::Key_Down);  // the next button takes focus and selection
    QVERIFY(f.Control<QRadioButton>(MainDialog::kKanjiJis)->isChecked());
    QCOMPARE(w.Options().KanjiCode, 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), f.Control(MainDialog::kKanjiUtf8));
    QCOMPARE(w.Options().KanjiCode, 3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // wraps to the first
    QVERIFY(f.Control<QRadioButton>(MainDialog::kKanjiAuto)->isChecked());
    QCOMPARE(w.Options().KanjiCode, 0);
  }

  void menus_hold_their_items() {
    WindowFixture f;
    MainDialog& w = f.Open();
    auto* bar = w.findChild<QMenuBar*>();
    QVERIFY(bar != nullptr);
    QStringList seen;
    auto items = [&seen](QMenu* menu) {
      for (QAction* item : menu->actions()) {
        seen << (item->isSeparator() ? QStringLiteral("-") : QStringLiteral("  ") + item->text());
      }
    };
    for (QAction* menu_action : bar->actions()) {
      seen << menu_action->text();
      items(menu_action->menu());
    }
    seen << QStringLiteral("window menu");
    items(w.WindowMenu());
    QCOMPARE(seen.join(QLatin1Char('|')),
             QStringLiteral("ファイル(&F)|  設定の読み込み(&R)...|  現在の設定を保存(&W)...|-|"
                            "  終了(&X)|スキャン(&S)|  機種依存文字(&O)...|ヘルプ(&H)|"
                            "  お読み下さい(&R)|-|  バージョン情報(&A)...|"
                            "window menu|-|  バージョン情報(&A)..."));
  }

  // --- Options ---
  void stored_options_reach_their_controls() {
    WindowFixture f;
    // KanjiCode outside the group selects none of its buttons.
    f.Settings(
        "Destination=/srv/出力\nOverWrite=1\nKanjiConvert=1\nDeleteHTMLTag=1\nKanjiCode=5\n"
        "UseTable=1\nTablePath=/t/a.tbl\nRegExp=1\nNoOutput=1\n");
    MainDialog& w = f.Open();
    const QList<int> checked = {MainDialog::kOverWrite,    MainDialog::kNoOutput,
                                MainDialog::kKanjiConvert, MainDialog::kDeleteHtmlTag,
                                MainDialog::kUseTable,     MainDialog::kRegExpReplace};
    for (int id :
         checked + QList<int>{MainDialog::kKanjiAuto, MainDialog::kKanjiEuc, MainDialog::kKanjiJis,
                              MainDialog::kKanjiUtf8, MainDialog::kSimpleReplace}) {
      QVERIFY2(f.Control<QAbstractButton>(id)->isChecked() == checked.contains(id),
               qPrintable(MainDialog::ControlName(id)));
    }
    QCOMPARE(f.Control<QLabel>(MainDialog::kDestinationText)->text(), QStringLiteral("/srv/出力"));
    QCOMPARE(f.Control<QLabel>(MainDialog::kTableText)->text(), QStringLiteral("/t/a.tbl"));
    QCOMPARE(w.Options().KanjiCode, 5);
    f.Click(MainDialog::kNoOutput);  // any option click reads the controls back
    QCOMPARE(w.Options().KanjiCode, -1);
    QVERIFY(!w.Options().NoOutput);
  }

  void enabling_rules_follow_their_check_boxes() {
    const struct {
      int check_box;
      QList<int> dependents;
      bool inverted;
    } rules[] = {
        {MainDialog::kKanjiConvert,
         {MainDialog::kKanjiAuto, MainDialog::kKanjiEuc, MainDialog::kKanjiJis,
          MainDialog::kKanjiUtf8},
         false},
        {MainDialog::kUseTable,
         {MainDialog::kTableButton, MainDialog::kTableText, MainDialog::kSimpleReplace,
          MainDialog::kRegExpReplace},
         false},
        {MainDialog::kOverWrite,
         {MainDialog::kDestinationButton, MainDialog::kDestinationText},
         true},
    };
    WindowFixture f;
    f.Open();
    for (const auto& rule : rules) {
      for (bool on : {true, false, true}) {
        f.Click(rule.check_box);
        QCOMPARE(f.Control<QCheckBox>(rule.check_box)->isChecked(), on);
        for (int id : rule.dependents) {
          QVERIFY2(f.Control(id)->isEnabled() == (on != rule.inverted),
                   qPrintable(MainDialog::ControlName(id)));
        }
      }
    }
    QVERIFY(f.Control(MainDialog::kRun)->isEnabled());
  }

  void too_long_destination_is_refused_when_read_back() {
    WindowFixture f;
    f.Settings("Destination=/" + std::string(5000, 'd') + "\n");
    MainDialog& w = f.Open();
    f.Click(MainDialog::kNoOutput);
    QCOMPARE(f.desktop.Boxes(),
             QStringList{QStringLiteral(
                 "message[ostrevin/exclamation] 4095 文字以内で入力してください。")});
    QVERIFY(!w.Options().NoOutput);  // reading stopped at the destination
  }

  // --- Adding and removing ---
  // Relative command-line paths are stored absolute, so a saved settings file
  // works from any folder; missing ones are named in one box.
  void command_line_and_file_dialog_add_in_list_order() {
    WindowFixture f;
    const std::string b = f.Path("B.txt");
    const std::string a = f.Path("a.txt");
    WriteFile(b, "b");
    WriteFile(a, "a");
    std::filesystem::create_directory(f.Path("sub"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(f.dir.path());
    MainDialog& w = f.Open({"B.txt", "missing.txt", "./sub/../a.txt", "", f.Path("gone")});
    QDir::setCurrent(before);
    QCOMPARE(w.Entries(), (Strings{a, b}));
    QCOMPARE(f.Control<PathListWidget>(MainDialog::kList)->item(0)->text(), Utf8(a));
    QTRY_COMPARE(
        f.desktop.Boxes(),
        QStringList{QStringLiteral("message[エラー/exclamation] %1\n%2 が見つかりませんでした。")
                        .arg(Utf8(f.Path("missing.txt")), Utf8(f.Path("gone")))});
    f.desktop.save_file = f.Path("list.ini");
    f.Trigger("action_save_settings");
    QVERIFY(ReadFile(f.Path("list.ini")).find("file1=" + b + "\n") != std::string::npos);
    f.desktop.calls.clear();
    f.desktop.files = {f.Path("d/b"), f.Path("d/C"),
                       f.Path("d/a")};  // letters without regard to case
    f.Click(MainDialog::kSelectFiles);
    QCOMPARE(f.desktop.calls, QStringList{QStringLiteral("files[ファイルの選択]")});
    QCOMPARE(w.Entries(), (Strings{a, b, f.Path("d/a"), f.Path("d/b"), f.Path("d/C")}));
    f.desktop.files.clear();  // cancelled
    f.Click(MainDialog::kSelectFiles);
    QCOMPARE(w.Entries().size(), std::size_t{5});
  }

  void remove_double_click_and_clear() {
    WindowFixture f;
    MainDialog& w = f.Open();
    f.desktop.files = {"/d/1", "/d/2", "/d/3", "/d/4"};
    f.Click(MainDialog::kSelectFiles);
    auto& list = *f.Control<PathListWidget>(MainDialog::kList);
    list.clearSelection();
    f.Click(MainDialog::kRemove);
    QCOMPARE(
        f.desktop.Boxes(),
        QStringList{QStringLiteral("message[エラー/none] 削除するファイルが選択されていません。")});
    QCOMPARE(w.Entries().size(), std::size_t{4});
    f.ClickRow(0);
    f.ClickRow(2, Qt::ControlModifier);
    f.Click(MainDialog::kRemove);
    QCOMPARE(w.Entries(), (Strings{"/d/2", "/d/4"}));
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.item(1)->text(), QStringLiteral("/d/4"));
    f.desktop.files = {"/d/5"};  // the Delete key removes as the button does
    f.Click(MainDialog::kSelectFiles);
    f.ClickRow(2);
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(w.Entries(), (Strings{"/d/2", "/d/4"}));
    // A double click removes the focus entry.
    f.ClickRow(1);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                       list.visualItemRect(list.item(1)).center());
    QCOMPARE(w.Entries(), Strings{"/d/2"});
    f.SetStatus(QStringLiteral("変換終了！"), 2);
    f.Click(MainDialog::kClearList);
    QVERIFY(w.Entries().empty());
    QCOMPARE(list.count(), 0);
    QCOMPARE(f.Status(), QString());
    QCOMPARE(f.Progress(), 0);
    QCOMPARE(f.desktop.Boxes().size(), 1);  // clearing asks nothing
  }

  // A long entry between two short ones, however it came: the bar appears
  // and the tooltip holds the whole path; removed, it takes the bar along.
  void long_entry_gets_a_scroll_bar_and_its_tooltip_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"command line", "file dialog", "drop", "settings file", "removal"}) {
      QTest::newRow(way) << way;
    }
  }
  void long_entry_gets_a_scroll_bar_and_its_tooltip() {
    QFETCH(QString, way);
    WindowFixture f;
    std::filesystem::create_directories(f.Path("m"));
    const std::string long_path = f.Path("m/長い名前の" + std::string(200, 'm') + ".txt");
    const Strings paths = {f.Path("a.txt"), long_path, f.Path("z.txt")};
    for (const std::string& path : paths) WriteFile(path, "x");
    MainDialog& w = f.Open(way == "command line" ? paths : Strings{});
    if (way == "file dialog" || way == "removal") {
      f.desktop.files = paths;
      if (way == "removal") f.desktop.files.push_back(f.Path("zz.txt"));
      f.Click(MainDialog::kSelectFiles);
    }
    if (way == "drop") f.DropPaths(paths);
    if (way == "settings file") {
      WriteFile(f.Path("list.ini"), "[Files]\nCount=3\nfile0=" + paths[0] + "\nfile1=" + paths[1] +
                                        "\nfile2=" + paths[2] + "\n");
      f.desktop.open_file = f.Path("list.ini");
      f.Trigger("action_load_settings");
    }
    auto& list = *f.Control<PathListWidget>(MainDialog::kList);
    if (way == "removal") {
      f.ClickRow(3);
      f.Click(MainDialog::kRemove);
    }
    QCOMPARE(w.Entries(), paths);
    QTRY_VERIFY(list.horizontalScrollBar()->isVisible());
    QVERIFY(list.horizontalScrollBar()->maximum() + list.viewport()->width() >=
            QFontMetrics(list.font()).horizontalAdvance(Utf8(long_path)));
    QCOMPARE(list.item(1)->toolTip(), Utf8(long_path));
    f.ClickRow(1);
    f.Click(MainDialog::kRemove);
    QVERIFY(list.HorizontalExtent() < list.viewport()->width());
    QTRY_COMPARE(list.horizontalScrollBar()->maximum(), 0);
  }

  void absolute_path_follows_no_link() {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    std::filesystem::create_directories(base + "/real/inner");
    std::filesystem::create_directory_symlink(base + "/real/inner", base + "/link");
    const std::pair<const char*, const char*> rows[] = {
        // "@": the folder resolved against
        {"x/./y//z/", "@/x/y/z"},     {"real/../x", "@/x"}, {"link/../x", "@/link/../x"},
        {"none/../x", "@/none/../x"}, {"/../x/.", "/x"},    {"", ""}};
    for (const auto& [path, absolute] : rows) {
      QCOMPARE(Utf8(AbsolutePath(path, base)),
               QString::fromUtf8(absolute).replace(QLatin1Char('@'), dir.path()));
    }
  }

  // Folders by their subtree, duplicates kept, missing paths skipped, and a
  // name that is not UTF-8 ("表.txt" in Shift-JIS, 0x95 0x5C) kept as its
  // bytes. A walk leaves out the destination the controls show, unless the
  // outputs go beside the sources.
  void drop_adds_files_subtrees_and_duplicates() {
    WindowFixture f;
    const std::string root = f.Path("tree");
    std::filesystem::create_directories(root + "/sub/deeper");
    std::filesystem::create_directories(root + "/out");
    for (const char* name : {"/one.txt", "/sub/two.txt", "/sub/deeper/three", "/out/done"}) {
      WriteFile(root + name, "x");
    }
    const std::string single = f.Path("\x95\x5c.txt");
    WriteFile(single, "s");
    f.Settings("Destination=" + root + "/out\n");
    MainDialog& w = f.Open();
    f.SetStatus(QStringLiteral("変換終了！"));
    QByteArray uris;
    for (const std::string& path : {root, single, single, f.Path("gone")}) {
      const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
      uris += "file://" + bytes.toPercentEncoding("/") + "\r\n";
    }
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), uris);
    f.Drop(mime);
    Strings expected = {single, single, root + "/one.txt", root + "/sub/deeper/three",
                        root + "/sub/two.txt"};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(w.Entries(), expected);
    QCOMPARE(f.Status(), QString());
    f.Click(MainDialog::kOverWrite);
    f.DropPaths({root + "/out"});
    QCOMPARE(w.Entries().size(), expected.size() + 1);
  }

  // --- Destination and table ---
  void destination_and_table_choices() {
    WindowFixture f;
    f.Settings("UseTable=1\nTablePath=/t/old.tbl\n");
    MainDialog& w = f.Open();
    f.Click(MainDialog::kNoOutput);
    const std::string before = w.Options().Destination;
    f.SetStatus(QStringLiteral("変換終了！"));
    f.Click(MainDialog::kDestinationButton);  // cancelled
    QCOMPARE(f.desktop.calls, QStringList{QStringLiteral("folder[どのフォルダを選びますか？]")});
    QCOMPARE(w.Options().Destination, before);
    QCOMPARE(f.Status(), QString());
    f.desktop.folder = "/srv/出力";
    f.Click(MainDialog::kDestinationButton);
    QCOMPARE(w.Options().Destination, std::string("/srv/出力"));
    QCOMPARE(f.Control<QLabel>(MainDialog::kDestinationText)->text(), QStringLiteral("/srv/出力"));
    QVERIFY(f.Control<QCheckBox>(MainDialog::kNoOutput)->isChecked());
    // The table dialog leaves the status line as it is.
    f.SetStatus(QStringLiteral("変換終了！"));
    f.desktop.open_file = "/t/new.dic";
    f.Click(MainDialog::kTableButton);
    QCOMPARE(f.desktop.requests.size(), std::size_t{1});
    QCOMPARE(Describe(f.desktop.requests[0]),
             QStringLiteral("変換テーブルの選択|txt|/t/old.tbl|"
                            "変換テーブルファイル (*.txt;*.tbl;*.dic)=*.txt,*.tbl,*.dic|"
                            "すべてのファイル (*.*)=*"));
    QCOMPARE(w.Options().TablePath, std::string("/t/new.dic"));
    QCOMPARE(f.Control<QLabel>(MainDialog::kTableText)->text(), QStringLiteral("/t/new.dic"));
    QCOMPARE(f.Status(), QStringLiteral("変換終了！"));
  }

  // --- Settings files from the File menu ---
  void cancelled_dialogs_change_nothing() {
    WindowFixture f;
    f.desktop.files = {"/d/a"};
    MainDialog& w = f.Open();
    f.Click(MainDialog::kSelectFiles);
    f.Trigger("action_load_settings");
    f.Trigger("action_save_settings");
    QCOMPARE(f.desktop.calls, (QStringList{QStringLiteral("files[ファイルの選択]"),
                                           QStringLiteral("open[]"), QStringLiteral("save[]")}));
    QCOMPARE(f.desktop.requests.size(), std::size_t{2});
    for (const auto& request : f.desktop.requests) {  // no title: the platform's own
      QCOMPARE(Describe(request),
               QStringLiteral("|ini||設定ファイル (*.ini)=*.ini|すべてのファイル (*.*)=*"));
    }
    QCOMPARE(w.Entries().size(), std::size_t{1});
  }

  void round_trip_restores_options_list_and_enabling() {
    WindowFixture f;
    MainDialog& w = f.Open();
    // "表.txt" in Shift-JIS: not valid UTF-8, must come back byte for byte.
    f.desktop.files = {"/d/b.txt", "/d/A.txt", "/d/\x95\x5c.txt"};
    f.Click(MainDialog::kSelectFiles);
    for (int id : {MainDialog::kOverWrite, MainDialog::kNoOutput, MainDialog::kKanjiConvert,
                   MainDialog::kKanjiUtf8, MainDialog::kUseTable, MainDialog::kRegExpReplace}) {
      f.Click(id);
    }
    f.desktop.save_file = f.Path("mine.ini");
    f.Trigger("action_save_settings");
    QVERIFY(f.desktop.Boxes().isEmpty());
    const std::string text = ReadFile(f.Path("mine.ini"));
    QVERIFY(text.find("Count=3") != std::string::npos);
    QVERIFY(text.find("file0=/d/A.txt") != std::string::npos);
    QVERIFY(text.find("KanjiCode=3") != std::string::npos);  // UTF-8

    // Loading replaces the other window's list and options.
    WindowFixture g;
    g.desktop.files = {"/d/old"};
    MainDialog& other = g.Open();
    g.Click(MainDialog::kSelectFiles);
    g.desktop.open_file = f.Path("mine.ini");
    g.Trigger("action_load_settings");
    QCOMPARE(other.Entries(), w.Entries());
    QCOMPARE(other.Options(), w.Options());
    QVERIFY(g.Control<QRadioButton>(MainDialog::kKanjiUtf8)->isChecked());
    QVERIFY(g.Control<QRadioButton>(MainDialog::kRegExpReplace)->isChecked());
    QVERIFY(g.Control(MainDialog::kKanjiUtf8)->isEnabled());
    QVERIFY(g.Control(MainDialog::kTableButton)->isEnabled());
    QVERIFY(!g.Control(MainDialog::kDestinationButton)->isEnabled());
  }

  // A settings file that cannot be read is reported and changes nothing: not
  // the list, not the options.
  void unreadable_load_is_reported_and_changes_nothing() {
    WindowFixture f;
    f.desktop.files = {"/d/kept"};
    MainDialog& w = f.Open();
    f.Click(MainDialog::kSelectFiles);
    f.Click(MainDialog::kOverWrite);
    const auto options = w.Options();
    WriteFile(f.Path("headerless.ini"), "Files]\nCount=1\nfile0=/d/other\n");
    const std::pair<std::string, int> cases[] = {
        {f.Path("missing.ini"), ENOENT}, {f.Path("headerless.ini"), EINVAL}, {f.Path(""), EISDIR}};
    for (const auto& [path, error_number] : cases) {
      f.desktop.calls.clear();
      f.desktop.open_file = path;
      f.Trigger("action_load_settings");
      QCOMPARE(f.desktop.Boxes(),
               QStringList{
                   QStringLiteral("message[エラー/exclamation] 設定ファイル %1 を読み込めません。"
                                  "(Error:%2)")
                       .arg(QString::fromStdString(path))
                       .arg(error_number)});
      QCOMPARE(w.Entries(), std::vector<std::string>{"/d/kept"});
      QCOMPARE(w.Options(), options);
    }
  }

  void failed_save_is_reported_but_not_at_closing() {
    WindowFixture f;
    f.Open();
    f.desktop.save_file = f.Path("no/such/folder/mine.ini");
    f.Trigger("action_save_settings");
    QCOMPARE(f.desktop.Boxes(),
             QStringList{QStringLiteral(
                 "message[エラー/exclamation] 設定ファイルを保存できません。(Error:2)")});
    WindowFixture g;
    g.settings_path = "/proc/ostrevin-cannot-write/ostrevin.ini";
    g.Open().reject();
    QVERIFY(g.desktop.calls.isEmpty());
  }
  // --- Help and About ---
  // The window's program counts as installed in the fixture's folder: Help
  // looks beside it (%1), then in the installation's documentation folder (%2).
  void readme_is_found_and_opened_or_its_error_shown() {
    const struct {
      const char* present;  // which read-me files exist: "b" beside, "i" installed
      int result;           // of opening it on the desktop
      const char* calls;    // one per line
    } rows[] = {
        {"", 0, "message[ostrevin/exclamation] '%1' を開くことができません。(Error:2)"},
        {"b", 0, "document %1"},
        {"i", 0, "document %2"},
        {"bi", 0, "document %1"},
        {"i", EIO,
         "document %2\nmessage[ostrevin/exclamation] ブラウザで次のファイルを開いてください: %2"},
    };
    for (const auto& row : rows) {
      WindowFixture f;
      MainDialog& w = f.Open();
      const std::string beside = f.Path("bin/ostrevin.htm");
      const std::string installed = f.Path("share/doc/ostrevin/ostrevin.htm");
      for (const std::string& path : {beside, installed}) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      }
      if (std::strchr(row.present, 'b') != nullptr) WriteFile(beside, "<html></html>");
      if (std::strchr(row.present, 'i') != nullptr) WriteFile(installed, "<html></html>");
      f.desktop.document_result = row.result;
      f.Trigger("action_readme");
      const QString wanted = QString::fromUtf8(row.calls)
                                 .replace(QStringLiteral("%1"), Utf8(beside))
                                 .replace(QStringLiteral("%2"), Utf8(installed));
      QCOMPARE(f.desktop.calls.join("\n"), wanted);
      QVERIFY(w.isVisible());
    }
  }

  void about_opens_from_help_and_window_menu() {
    WindowFixture f;
    f.Open();
    for (const char* action : {"action_about", "action_about_window_menu"}) {
      bool checked = false;
      QTimer::singleShot(0, [&checked] {
        auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        QVERIFY(about != nullptr);
        auto text = [about](const char* name) {
          return about->findChild<QLabel*>(QString::fromLatin1(name))->text();
        };
        auto* ok = about->findChild<QPushButton*>(QStringLiteral("about_ok"));
        QCOMPARE((QStringList{about->windowTitle(), text("about_name"), text("about_version"),
                              ok->text()}),
                 (QStringList{QStringLiteral("バージョン情報"), QStringLiteral("Ostrevin"),
                              QStringLiteral("v.1.0.1.7"), QStringLiteral("OK")}));
        QVERIFY(!about->findChild<QLabel*>(QStringLiteral("about_icon"))->pixmap().isNull());
        QVERIFY(ok->isDefault());
        checked = true;
        about->close();
      });
      f.Trigger(action);
      QVERIFY2(checked, action);
    }
  }

  // --- Closing ---
  void every_way_of_closing_saves_options_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"button", "menu", "close", "Esc", "Enter"}) QTest::newRow(way) << way;
  }
  void every_way_of_closing_saves_options() {
    QFETCH(QString, way);
    WindowFixture f;
    MainDialog& w = f.Open();
    f.Click(MainDialog::kDeleteHtmlTag);
    if (way == QStringLiteral("button")) f.Click(MainDialog::kExit);
    if (way == QStringLiteral("menu")) f.Trigger("action_exit");
    if (way == QStringLiteral("close")) w.close();
    if (way == QStringLiteral("Esc")) QTest::keyClick(&w, Qt::Key_Escape);
    if (way == QStringLiteral("Enter")) {
      f.Control(MainDialog::kList)->setFocus();
      QTest::keyClick(f.Control(MainDialog::kList), Qt::Key_Return);
    }
    QVERIFY(!w.isVisible());
    QVERIFY(ReadFile(f.SettingsPath()).find("DeleteHTMLTag=1") != std::string::npos);
  }
};

QTEST_MAIN(MainDialogTest)
#include "tst_main_dialog.moc"
