// The main window driven offscreen: controls and captions, Tab order, menus,
// the enabling rules, adding and removing entries, drops, the destination and
// table choices, help, the About box and every way of closing.
#include <sys/stat.h>
#include <unistd.h>

#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/path_list_widget.h"
#include "scripted_desktop.h"

using ostrevin::app::AboutDialog;
using ostrevin::app::MainDialog;
using ostrevin::app::PathListWidget;
using ostrevin::app::testing::ReadFile;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

namespace {

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

std::vector<std::string> Strings(std::initializer_list<const char*> items) {
  return {items.begin(), items.end()};
}

// Drops `mime` on the window the way the platform delivers it.
void Drop(QWidget& window, QMimeData& mime) {
  const QPointF at(window.width() / 2.0, window.height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

// Closes the next modal dialog after checking it with `check`.
void OnNextModal(std::function<void(QWidget&)> check) {
  QTimer::singleShot(0, [check] {
    QWidget* modal = QApplication::activeModalWidget();
    QVERIFY(modal != nullptr);
    check(*modal);
    modal->close();
  });
}

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // --- Window and controls ---
  void window_has_title_icon_and_fixed_size();
  void controls_have_their_captions_data();
  void controls_have_their_captions();
  void captions_fit_their_controls();
  void layout_keeps_the_dialog_proportions();
  void tab_order_follows_the_controls();
  void arrow_keys_reach_and_select_radio_buttons();
  void menus_hold_their_items();
  void window_menu_carries_the_about_item();

  // --- Start-up and options ---
  void first_start_uses_defaults_and_close_writes_nine_keys();
  void stored_flag_other_than_one_reads_off_and_saves_zero();
  void stored_code_out_of_range_selects_no_button();
  void enabling_rules_follow_their_check_boxes_data();
  void enabling_rules_follow_their_check_boxes();
  void too_long_destination_is_refused_when_read_back();

  // --- Adding and removing ---
  void command_line_paths_are_added_sorted();
  void file_dialog_adds_in_list_order();
  void remove_without_selection_shows_message();
  void remove_takes_every_selected_entry();
  void double_click_removes_the_focus_entry();
  void clear_removes_everything_and_resets_status();
  void list_extent_follows_the_widest_entry();
  void drop_adds_folder_subtree_and_duplicates();
  void drop_keeps_bytes_of_non_utf8_names();
  void drop_of_folder_with_link_loop_ends();

  // --- Destination and table ---
  void destination_cancel_keeps_folder_and_clears_status();
  void destination_choice_keeps_other_options();
  void table_dialog_request_and_status_kept();

  // --- Help and About ---
  void readme_missing_names_path_and_enoent();
  void readme_refused_reports_the_error_number();
  void readme_present_is_opened_by_the_desktop();
  void about_opens_from_help_and_window_menu();

  // --- Closing ---
  void every_way_of_closing_saves_options_data();
  void every_way_of_closing_saves_options();
};

// --- Window and controls ---

void MainDialogTest::window_has_title_icon_and_fixed_size() {
  WindowFixture f;
  MainDialog& w = f.Open();
  QCOMPARE(w.windowTitle(), QStringLiteral("Ostrevin"));
  QVERIFY(!w.windowIcon().isNull());
  QCOMPARE(w.minimumSize(), w.maximumSize());
  const Qt::WindowFlags flags = w.windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  auto* exit = f.Control<QPushButton>(MainDialog::kExit);
  QVERIFY(exit->isDefault());
}

void MainDialogTest::controls_have_their_captions_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("caption");
  const std::pair<int, const char*> rows[] = {
      {MainDialog::kSelectFiles, "ファイル選択"},
      {MainDialog::kRemove, "リスト削除"},
      {MainDialog::kClearList, "全リスト消去"},
      {MainDialog::kExit, "終了"},
      {MainDialog::kOverWrite, "常に変換元に上書きする"},
      {MainDialog::kNoOutput, "無変換のファイルを出力しない"},
      {MainDialog::kKanjiConvert, "文字コードをシフトJIS に変換"},
      {MainDialog::kKanjiAuto, "自動判定"},
      {MainDialog::kKanjiEuc, "日本語EUC"},
      {MainDialog::kKanjiJis, "日本語JIS"},
      {MainDialog::kDeleteHtmlTag, "HTML タグを除去する"},
      {MainDialog::kUseTable, "変換テーブルを通す"},
      {MainDialog::kSimpleReplace, "単純な文字列置換"},
      {MainDialog::kRegExpReplace, "正規表現で置換"},
      {MainDialog::kDestinationButton, "変換先フォルダ"},
      {MainDialog::kTableButton, "変換テーブル選択"},
      {MainDialog::kRun, "変換実行"},
  };
  for (const auto& [id, caption] : rows) {
    QTest::addRow("%d", id) << id << QString::fromUtf8(caption);
  }
}

void MainDialogTest::controls_have_their_captions() {
  QFETCH(int, id);
  QFETCH(QString, caption);
  WindowFixture f;
  f.Open();
  auto* button = f.Control<QAbstractButton>(id);
  QVERIFY(button != nullptr);
  QCOMPARE(button->text(), caption);
}

void MainDialogTest::captions_fit_their_controls() {
  WindowFixture f;
  MainDialog& w = f.Open();
  for (QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
    QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
  }
}

void MainDialogTest::layout_keeps_the_dialog_proportions() {
  WindowFixture f;
  MainDialog& w = f.Open();
  // In dialog units the list spans x 7..222 and the run button 273..344 of a
  // 351-unit window: their pixel edges keep those ratios.
  const QRect list = f.Control<QWidget>(MainDialog::kList)->geometry();
  const QRect run = f.Control<QWidget>(MainDialog::kRun)->geometry();
  const double width = w.width();
  QVERIFY(qAbs(list.left() / width - 7.0 / 351) < 0.01);
  QVERIFY(qAbs((list.right() + 1) / width - 222.0 / 351) < 0.01);
  QVERIFY(qAbs(run.left() / width - 273.0 / 351) < 0.01);
  QVERIFY(qAbs((run.right() + 1) / width - 344.0 / 351) < 0.01);
  // Neighbours in a row do not overlap: 1001 | 1010 | 1007.
  const QRect select = f.Control<QWidget>(MainDialog::kSelectFiles)->geometry();
  const QRect remove = f.Control<QWidget>(MainDialog::kRemove)->geometry();
  const QRect clear = f.Control<QWidget>(MainDialog::kClearList)->geometry();
  QVERIFY(select.right() < remove.left());
  QVERIFY(remove.right() < clear.left());
  // The status line is two lines of the dialog font high.
  const int status_height = f.Control<QWidget>(MainDialog::kStatus)->height();
  QVERIFY(status_height >= 2 * QFontMetrics(w.font()).height() - 2);
}

void MainDialogTest::tab_order_follows_the_controls() {
  WindowFixture f;
  MainDialog& w = f.Open();
  const int expected[] = {
      MainDialog::kList,         MainDialog::kSelectFiles,       MainDialog::kRemove,
      MainDialog::kClearList,    MainDialog::kDestinationButton, MainDialog::kTableButton,
      MainDialog::kRun,          MainDialog::kOverWrite,         MainDialog::kNoOutput,
      MainDialog::kKanjiConvert, MainDialog::kDeleteHtmlTag,     MainDialog::kUseTable,
      MainDialog::kExit};
  // Walk the focus chain from the list, keeping the Tab stops.
  QStringList order;
  QWidget* start = f.Control<QWidget>(MainDialog::kList);
  QWidget* at = start;
  do {
    if ((at->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && at->window() == &w &&
        at->objectName().startsWith(QStringLiteral("control_"))) {
      order << at->objectName();
    }
    at = at->nextInFocusChain();
  } while (at != start);
  QStringList wanted;
  for (int id : expected) wanted << MainDialog::ControlName(id);
  QCOMPARE(order, wanted);
  // The radio buttons are no Tab stops.
  for (int id : {MainDialog::kKanjiAuto, MainDialog::kKanjiEuc, MainDialog::kKanjiJis,
                 MainDialog::kSimpleReplace, MainDialog::kRegExpReplace}) {
    QVERIFY(!(f.Control<QWidget>(id)->focusPolicy() & Qt::TabFocus));
  }
}

void MainDialogTest::arrow_keys_reach_and_select_radio_buttons() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nKanjiConvert=1\nKanjiCode=1\n");
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
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // wraps to the first
  QVERIFY(f.Control<QRadioButton>(MainDialog::kKanjiAuto)->isChecked());
  QCOMPARE(w.Options().KanjiCode, 0);
}

void MainDialogTest::menus_hold_their_items() {
  WindowFixture f;
  MainDialog& w = f.Open();
  auto* bar = w.findChild<QMenuBar*>();
  QVERIFY(bar != nullptr);
  QStringList seen;
  for (QAction* menu_action : bar->actions()) {
    seen << menu_action->text();
    for (QAction* item : menu_action->menu()->actions()) {
      seen << (item->isSeparator() ? QStringLiteral("-") : QStringLiteral("  ") + item->text());
    }
  }
  const QStringList expected = {QStringLiteral("ファイル(&F)"),
                                QStringLiteral("  設定の読み込み(&R)..."),
                                QStringLiteral("  現在の設定を保存(&W)..."),
                                QStringLiteral("-"),
                                QStringLiteral("  終了(&X)"),
                                QStringLiteral("スキャン(&S)"),
                                QStringLiteral("  機種依存文字(&O)..."),
                                QStringLiteral("ヘルプ(&H)"),
                                QStringLiteral("  お読み下さい(&R)"),
                                QStringLiteral("-"),
                                QStringLiteral("  バージョン情報(&A)...")};
  QCOMPARE(seen, expected);
}

void MainDialogTest::window_menu_carries_the_about_item() {
  WindowFixture f;
  MainDialog& w = f.Open();
  const QList<QAction*> items = w.WindowMenu()->actions();
  QCOMPARE(items.size(), 2);
  QVERIFY(items[0]->isSeparator());
  QCOMPARE(items[1]->text(), QStringLiteral("バージョン情報(&A)..."));
}

// --- Start-up and options ---

void MainDialogTest::first_start_uses_defaults_and_close_writes_nine_keys() {
  WindowFixture f;
  MainDialog& w = f.Open();
  QCOMPARE(w.Options().Destination, std::filesystem::current_path().string());
  for (int id : {MainDialog::kOverWrite, MainDialog::kNoOutput, MainDialog::kKanjiConvert,
                 MainDialog::kDeleteHtmlTag, MainDialog::kUseTable}) {
    QVERIFY(!f.Control<QCheckBox>(id)->isChecked());
  }
  QVERIFY(f.Control<QRadioButton>(MainDialog::kKanjiAuto)->isChecked());
  QVERIFY(f.Control<QRadioButton>(MainDialog::kSimpleReplace)->isChecked());
  QCOMPARE(f.Control<QLabel>(MainDialog::kTableText)->text(), QString());
  QCOMPARE(f.Control<QLabel>(MainDialog::kDestinationText)->text(), QDir::currentPath());
  QCOMPARE(f.Status(), QString());

  f.Click(MainDialog::kExit);
  QVERIFY(!w.isVisible());
  const std::string saved = ReadFile(f.SettingsPath());
  std::size_t at = saved.find("[Folder]");
  QVERIFY(at != std::string::npos);
  for (const char* key : {"Destination=", "OverWrite=0", "KanjiConvert=0", "DeleteHTMLTag=0",
                          "KanjiCode=0", "UseTable=0", "TablePath=", "RegExp=0", "NoOutput=0"}) {
    const std::size_t next = saved.find(key, at);
    QVERIFY2(next != std::string::npos, key);  // present, in the order of the keys
    at = next;
  }
}

void MainDialogTest::stored_flag_other_than_one_reads_off_and_saves_zero() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nOverWrite=2\nNoOutput=1\n");
  MainDialog& w = f.Open();
  QVERIFY(!f.Control<QCheckBox>(MainDialog::kOverWrite)->isChecked());
  QVERIFY(f.Control<QCheckBox>(MainDialog::kNoOutput)->isChecked());
  w.reject();
  const std::string saved = ReadFile(f.SettingsPath());
  QVERIFY(saved.find("OverWrite=0") != std::string::npos);
  QVERIFY(saved.find("NoOutput=1") != std::string::npos);
}

void MainDialogTest::stored_code_out_of_range_selects_no_button() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nKanjiConvert=1\nKanjiCode=5\n");
  MainDialog& w = f.Open();
  for (int id : {MainDialog::kKanjiAuto, MainDialog::kKanjiEuc, MainDialog::kKanjiJis}) {
    QVERIFY(!f.Control<QRadioButton>(id)->isChecked());
  }
  QCOMPARE(w.Options().KanjiCode, 5);
  f.Click(MainDialog::kNoOutput);  // any option click reads the controls back
  QCOMPARE(w.Options().KanjiCode, -1);
  QVERIFY(w.Options().NoOutput);
}

void MainDialogTest::enabling_rules_follow_their_check_boxes_data() {
  QTest::addColumn<int>("check_box");
  QTest::addColumn<QList<int>>("dependents");
  QTest::addColumn<bool>("inverted");
  QTest::newRow("KanjiConvert") << int(MainDialog::kKanjiConvert)
                                << QList<int>{MainDialog::kKanjiAuto, MainDialog::kKanjiEuc,
                                              MainDialog::kKanjiJis}
                                << false;
  QTest::newRow("UseTable") << int(MainDialog::kUseTable)
                            << QList<int>{MainDialog::kTableButton, MainDialog::kTableText,
                                          MainDialog::kSimpleReplace, MainDialog::kRegExpReplace}
                            << false;
  QTest::newRow("OverWrite") << int(MainDialog::kOverWrite)
                             << QList<int>{MainDialog::kDestinationButton,
                                           MainDialog::kDestinationText}
                             << true;
}

void MainDialogTest::enabling_rules_follow_their_check_boxes() {
  QFETCH(int, check_box);
  QFETCH(QList<int>, dependents);
  QFETCH(bool, inverted);
  WindowFixture f;
  f.Open();
  for (bool on : {true, false, true}) {
    f.Click(check_box);
    QCOMPARE(f.Control<QCheckBox>(check_box)->isChecked(), on);
    for (int id : dependents) {
      QCOMPARE(f.Control<QWidget>(id)->isEnabled(), on != inverted);
    }
  }
  QVERIFY(f.Control<QWidget>(MainDialog::kRun)->isEnabled());
}

void MainDialogTest::too_long_destination_is_refused_when_read_back() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nDestination=/" + std::string(5000, 'd') + "\n");
  MainDialog& w = f.Open();
  f.Click(MainDialog::kNoOutput);
  QCOMPARE(f.desktop.Boxes(),
           QStringList{
               QStringLiteral("message[ostrevin/exclamation] 4095 文字以内で入力してください。")});
  // Reading stopped at the destination: the tick did not reach the options.
  QVERIFY(!w.Options().NoOutput);
}

// --- Adding and removing ---

void MainDialogTest::command_line_paths_are_added_sorted() {
  WindowFixture f;
  const std::string b = f.Path("B.txt");
  const std::string a = f.Path("a.txt");
  WriteFile(b, "b");
  WriteFile(a, "a");
  MainDialog& w = f.Open({b, f.Path("missing.txt"), a});
  QCOMPARE(w.Entries(), (std::vector<std::string>{a, b}));
  auto* list = f.Control<PathListWidget>(MainDialog::kList);
  QCOMPARE(list->item(0)->text(), Utf8(a));
  QVERIFY(f.desktop.Boxes().isEmpty());  // the missing path is skipped silently
}

void MainDialogTest::file_dialog_adds_in_list_order() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = Strings({"/d/zeta.txt", "/d/Alpha.txt", "/d/beta.txt", "/d/alpha.txt"});
  f.Click(MainDialog::kSelectFiles);
  QCOMPARE(f.desktop.calls, QList<QString>{QStringLiteral("files[ファイルの選択]")});
  // Letters without regard to case; equal ones by their bytes.
  QCOMPARE(w.Entries(), Strings({"/d/Alpha.txt", "/d/alpha.txt", "/d/beta.txt", "/d/zeta.txt"}));
  // Cancelling adds nothing.
  f.desktop.files.clear();
  f.Click(MainDialog::kSelectFiles);
  QCOMPARE(w.Entries().size(), std::size_t{4});
}

void MainDialogTest::remove_without_selection_shows_message() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = Strings({"/d/a", "/d/b"});
  f.Click(MainDialog::kSelectFiles);
  f.Control<PathListWidget>(MainDialog::kList)->clearSelection();
  f.Click(MainDialog::kRemove);
  QCOMPARE(
      f.desktop.Boxes(),
      QStringList{QStringLiteral("message[エラー/none] 削除するファイルが選択されていません。")});
  QCOMPARE(w.Entries().size(), std::size_t{2});
}

void MainDialogTest::remove_takes_every_selected_entry() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = Strings({"/d/1", "/d/2", "/d/3", "/d/4"});
  f.Click(MainDialog::kSelectFiles);
  auto* list = f.Control<PathListWidget>(MainDialog::kList);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(0)).center());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list->visualItemRect(list->item(2)).center());
  f.Click(MainDialog::kRemove);
  QCOMPARE(w.Entries(), Strings({"/d/2", "/d/4"}));
  QCOMPARE(list->count(), 2);
  QCOMPARE(list->item(1)->text(), QStringLiteral("/d/4"));
}

void MainDialogTest::double_click_removes_the_focus_entry() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = Strings({"/d/1", "/d/2", "/d/3"});
  f.Click(MainDialog::kSelectFiles);
  auto* list = f.Control<PathListWidget>(MainDialog::kList);
  const QPoint second = list->visualItemRect(list->item(1)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
  QCOMPARE(w.Entries(), Strings({"/d/1", "/d/3"}));
}

void MainDialogTest::clear_removes_everything_and_resets_status() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = Strings({"/d/1", "/d/2"});
  f.Click(MainDialog::kSelectFiles);
  f.Control<QLabel>(MainDialog::kStatus)->setText(QStringLiteral("変換終了！"));
  f.Control<QProgressBar>(MainDialog::kProgress)->setValue(2);
  f.Click(MainDialog::kClearList);
  QVERIFY(w.Entries().empty());
  QCOMPARE(f.Control<PathListWidget>(MainDialog::kList)->count(), 0);
  QCOMPARE(f.Status(), QString());
  QCOMPARE(f.Progress(), 0);
  QVERIFY(f.desktop.Boxes().isEmpty());  // no question asked
}

void MainDialogTest::list_extent_follows_the_widest_entry() {
  WindowFixture f;
  f.Open();
  const std::string wide = "/d/" + std::string(300, 'w') + ".txt";
  f.desktop.files = {"/d/a", wide};
  f.Click(MainDialog::kSelectFiles);
  auto* list = f.Control<PathListWidget>(MainDialog::kList);
  const QFontMetrics metrics(list->font());
  const int expected = metrics.horizontalAdvance(Utf8(wide)) + metrics.averageCharWidth();
  QCOMPARE(list->HorizontalExtent(), expected);
  QTRY_VERIFY(list->horizontalScrollBar()->maximum() > 0);
  // Removing the wide entry shrinks the extent again.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  f.Click(MainDialog::kRemove);
  QCOMPARE(list->HorizontalExtent(),
           metrics.horizontalAdvance(QStringLiteral("/d/a")) + metrics.averageCharWidth());
}

void MainDialogTest::drop_adds_folder_subtree_and_duplicates() {
  WindowFixture f;
  MainDialog& w = f.Open();
  const std::string root = f.Path("tree");
  std::filesystem::create_directories(root + "/sub/deeper");
  WriteFile(root + "/one.txt", "1");
  WriteFile(root + "/sub/two.txt", "2");
  WriteFile(root + "/sub/deeper/three", "3");
  WriteFile(f.Path("single.txt"), "s");
  f.Control<QLabel>(MainDialog::kStatus)->setText(QStringLiteral("変換終了！"));

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Utf8(root)), QUrl::fromLocalFile(Utf8(f.Path("single.txt"))),
                QUrl::fromLocalFile(Utf8(f.Path("single.txt"))),
                QUrl::fromLocalFile(Utf8(f.Path("gone.txt")))});
  Drop(w, mime);
  std::vector<std::string> expected = {f.Path("single.txt"), f.Path("single.txt"),
                                       root + "/one.txt", root + "/sub/deeper/three",
                                       root + "/sub/two.txt"};
  std::sort(expected.begin(), expected.end());
  QCOMPARE(w.Entries(), expected);
  QCOMPARE(f.Status(), QString());
}

void MainDialogTest::drop_keeps_bytes_of_non_utf8_names() {
  WindowFixture f;
  MainDialog& w = f.Open();
  // "表.txt" in Shift-JIS (0x95 0x5C), which is not valid UTF-8.
  const std::string name = f.Path("\x95\x5c.txt");
  WriteFile(name, "x");
  QMimeData mime;
  QByteArray uri = "file://";
  uri += QByteArray(name.data(), static_cast<qsizetype>(name.size())).toPercentEncoding("/");
  mime.setData(QStringLiteral("text/uri-list"), uri + "\r\n");
  Drop(w, mime);
  QCOMPARE(w.Entries(), std::vector<std::string>{name});
}

void MainDialogTest::drop_of_folder_with_link_loop_ends() {
  WindowFixture f;
  MainDialog& w = f.Open();
  const std::string root = f.Path("loop");
  std::filesystem::create_directories(root + "/inner");
  WriteFile(root + "/inner/file.txt", "x");
  std::filesystem::create_directory_symlink(root, root + "/inner/back");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Utf8(root))});
  Drop(w, mime);
  const auto& entries = w.Entries();
  QCOMPARE(std::count(entries.begin(), entries.end(), root + "/inner/file.txt"), 1);
  for (const std::string& entry : entries) QVERIFY(!std::filesystem::is_directory(entry));
}

// --- Destination and table ---

void MainDialogTest::destination_cancel_keeps_folder_and_clears_status() {
  WindowFixture f;
  MainDialog& w = f.Open();
  const std::string before = w.Options().Destination;
  f.Control<QLabel>(MainDialog::kStatus)->setText(QStringLiteral("変換終了！"));
  f.Click(MainDialog::kDestinationButton);
  QCOMPARE(f.desktop.calls, QList<QString>{QStringLiteral("folder[どのフォルダを選びますか？]")});
  QCOMPARE(w.Options().Destination, before);
  QCOMPARE(f.Status(), QString());
}

void MainDialogTest::destination_choice_keeps_other_options() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.Click(MainDialog::kNoOutput);
  f.desktop.folder = "/srv/出力";
  f.Click(MainDialog::kDestinationButton);
  QCOMPARE(w.Options().Destination, std::string("/srv/出力"));
  QCOMPARE(f.Control<QLabel>(MainDialog::kDestinationText)->text(), QStringLiteral("/srv/出力"));
  QVERIFY(f.Control<QCheckBox>(MainDialog::kNoOutput)->isChecked());
}

void MainDialogTest::table_dialog_request_and_status_kept() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nUseTable=1\nTablePath=/t/old.tbl\n");
  MainDialog& w = f.Open();
  f.Control<QLabel>(MainDialog::kStatus)->setText(QStringLiteral("変換終了！"));
  f.desktop.open_file = "/t/new.dic";
  f.Click(MainDialog::kTableButton);
  QCOMPARE(f.desktop.requests.size(), std::size_t{1});
  const auto& request = f.desktop.requests.front();
  QCOMPARE(request.title, QStringLiteral("変換テーブルの選択"));
  QCOMPARE(request.default_suffix, QStringLiteral("txt"));
  QCOMPARE(request.initial_path, std::string("/t/old.tbl"));
  QCOMPARE(request.filters.size(), std::size_t{2});
  QCOMPARE(request.filters[0].label, QStringLiteral("変換テーブルファイル (*.txt;*.tbl;*.dic)"));
  QCOMPARE(
      request.filters[0].patterns,
      (QStringList{QStringLiteral("*.txt"), QStringLiteral("*.tbl"), QStringLiteral("*.dic")}));
  QCOMPARE(request.filters[1].label, QStringLiteral("すべてのファイル (*.*)"));
  QCOMPARE(request.filters[1].patterns, QStringList{QStringLiteral("*")});
  QCOMPARE(w.Options().TablePath, std::string("/t/new.dic"));
  QCOMPARE(f.Control<QLabel>(MainDialog::kTableText)->text(), QStringLiteral("/t/new.dic"));
  QCOMPARE(f.Status(), QStringLiteral("変換終了！"));
}

// --- Help and About ---

void MainDialogTest::readme_missing_names_path_and_enoent() {
  WindowFixture f;
  MainDialog& w = f.Open();
  w.findChild<QAction*>(QStringLiteral("action_readme"))->trigger();
  const QString expected =
      QStringLiteral("message[ostrevin/exclamation] '%1' を開くことができません。(Error:2)")
          .arg(Utf8(f.Path("ostrevin.htm")));
  QCOMPARE(f.desktop.calls, QList<QString>{expected});
  QVERIFY(w.isVisible());
}

void MainDialogTest::readme_refused_reports_the_error_number() {
  WindowFixture f;
  MainDialog& w = f.Open();
  WriteFile(f.Path("ostrevin.htm"), "<html></html>");
  f.desktop.document_result = EIO;
  w.findChild<QAction*>(QStringLiteral("action_readme"))->trigger();
  QCOMPARE(f.desktop.Boxes(),
           QStringList{QStringLiteral(
                           "message[ostrevin/exclamation] '%1' を開くことができません。(Error:5)")
                           .arg(Utf8(f.Path("ostrevin.htm")))});
}

void MainDialogTest::readme_present_is_opened_by_the_desktop() {
  WindowFixture f;
  MainDialog& w = f.Open();
  WriteFile(f.Path("ostrevin.htm"), "<html></html>");
  w.findChild<QAction*>(QStringLiteral("action_readme"))->trigger();
  QCOMPARE(f.desktop.calls,
           QList<QString>{QStringLiteral("document ") + Utf8(f.Path("ostrevin.htm"))});
}

void MainDialogTest::about_opens_from_help_and_window_menu() {
  WindowFixture f;
  MainDialog& w = f.Open();
  for (const char* action : {"action_about", "action_about_window_menu"}) {
    bool checked = false;
    OnNextModal([&checked](QWidget& modal) {
      auto* about = qobject_cast<AboutDialog*>(&modal);
      QVERIFY(about != nullptr);
      QCOMPARE(about->windowTitle(), QStringLiteral("バージョン情報"));
      QCOMPARE(about->findChild<QLabel*>(QStringLiteral("about_name"))->text(),
               QStringLiteral("Ostrevin"));
      QCOMPARE(about->findChild<QLabel*>(QStringLiteral("about_version"))->text(),
               QStringLiteral("v.1.0.1.7"));
      QVERIFY(!about->findChild<QLabel*>(QStringLiteral("about_icon"))->pixmap().isNull());
      auto* ok = about->findChild<QPushButton*>(QStringLiteral("about_ok"));
      QCOMPARE(ok->text(), QStringLiteral("OK"));
      QVERIFY(ok->isDefault());
      checked = true;
    });
    w.findChild<QAction*>(QString::fromLatin1(action))->trigger();
    QVERIFY2(checked, action);
  }
}

// --- Closing ---

void MainDialogTest::every_way_of_closing_saves_options_data() {
  QTest::addColumn<QString>("way");
  QTest::newRow("exit button") << QStringLiteral("button");
  QTest::newRow("file menu") << QStringLiteral("menu");
  QTest::newRow("close box") << QStringLiteral("close");
  QTest::newRow("Esc") << QStringLiteral("escape");
  QTest::newRow("Enter") << QStringLiteral("enter");
}

void MainDialogTest::every_way_of_closing_saves_options() {
  QFETCH(QString, way);
  WindowFixture f;
  MainDialog& w = f.Open();
  f.Click(MainDialog::kDeleteHtmlTag);
  if (way == QStringLiteral("button")) f.Click(MainDialog::kExit);
  if (way == QStringLiteral("menu"))
    w.findChild<QAction*>(QStringLiteral("action_exit"))->trigger();
  if (way == QStringLiteral("close")) w.close();
  if (way == QStringLiteral("escape")) QTest::keyClick(&w, Qt::Key_Escape);
  if (way == QStringLiteral("enter")) {
    f.Control<QWidget>(MainDialog::kList)->setFocus();
    QTest::keyClick(f.Control<QWidget>(MainDialog::kList), Qt::Key_Return);
  }
  QVERIFY(!w.isVisible());
  QVERIFY(ReadFile(f.SettingsPath()).find("DeleteHTMLTag=1") != std::string::npos);
}

QTEST_MAIN(MainDialogTest)
#include "tst_main_dialog.moc"
