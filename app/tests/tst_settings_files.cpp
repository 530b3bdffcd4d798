// Settings files from the File menu: save and load round trips of all nine
// options and the file list, the dialogs' requests, stale keys, hand-edited
// files, and the message for a save that fails.
#include "scripted_desktop.h"

using ostrevin::app::MainDialog;
using ostrevin::app::MainDialogSetup;
using ostrevin::app::testing::ReadFile;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

namespace {

void Trigger(MainDialog& w, const char* action) {
  w.findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

}  // namespace

class SettingsFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogs_offer_settings_files_and_all_files();
  void cancel_does_nothing();
  void round_trip_restores_options_list_and_enabling();
  void shorter_list_leaves_no_stale_keys();
  void loading_the_program_settings_file_empties_the_list();
  void missing_entry_keys_give_empty_entries();
  void failed_save_is_reported();
};

void SettingsFilesTest::dialogs_offer_settings_files_and_all_files() {
  WindowFixture f;
  MainDialog& w = f.Open();
  Trigger(w, "action_load_settings");
  Trigger(w, "action_save_settings");
  QCOMPARE(f.desktop.requests.size(), std::size_t{2});
  for (const auto& request : f.desktop.requests) {
    QCOMPARE(request.title, QString());  // the platform's standard title
    QCOMPARE(request.default_suffix, QStringLiteral("ini"));
    QCOMPARE(request.initial_path, std::string());
    QCOMPARE(request.filters.size(), std::size_t{2});
    QCOMPARE(request.filters[0].label, QStringLiteral("設定ファイル (*.ini)"));
    QCOMPARE(request.filters[0].patterns, QStringList{QStringLiteral("*.ini")});
    QCOMPARE(request.filters[1].label, QStringLiteral("すべてのファイル (*.*)"));
    QCOMPARE(request.filters[1].patterns, QStringList{QStringLiteral("*")});
  }
  QCOMPARE(f.desktop.calls, (QList<QString>{QStringLiteral("open[]"), QStringLiteral("save[]")}));
}

void SettingsFilesTest::cancel_does_nothing() {
  WindowFixture f;
  f.desktop.files = {"/d/a"};
  MainDialog& w = f.Open();
  f.Click(MainDialog::kSelectFiles);
  Trigger(w, "action_load_settings");
  Trigger(w, "action_save_settings");
  QCOMPARE(w.Entries().size(), std::size_t{1});
  QVERIFY(f.desktop.Boxes().isEmpty());
}

void SettingsFilesTest::round_trip_restores_options_list_and_enabling() {
  WindowFixture f;
  MainDialog& w = f.Open();
  // "表.txt" in Shift-JIS: not valid UTF-8, must come back byte for byte.
  f.desktop.files = {"/d/b.txt", "/d/A.txt", "/d/\x95\x5c.txt"};
  f.Click(MainDialog::kSelectFiles);
  for (int id : {MainDialog::kOverWrite, MainDialog::kNoOutput, MainDialog::kKanjiConvert,
                 MainDialog::kKanjiJis, MainDialog::kUseTable, MainDialog::kRegExpReplace}) {
    f.Click(id);
  }
  const ostrevin::ConversionOptions saved_options = w.Options();
  const std::vector<std::string> saved_list = w.Entries();
  f.desktop.save_file = f.Path("mine.ini");
  Trigger(w, "action_save_settings");
  QVERIFY(f.desktop.Boxes().isEmpty());
  const std::string text = ReadFile(f.Path("mine.ini"));
  QVERIFY(text.find("Count=3") != std::string::npos);
  QVERIFY(text.find("file0=/d/A.txt") != std::string::npos);

  WindowFixture g;
  MainDialog& other = g.Open();
  g.desktop.open_file = f.Path("mine.ini");
  Trigger(other, "action_load_settings");
  QCOMPARE(other.Entries(), saved_list);
  QCOMPARE(other.Options(), saved_options);
  QVERIFY(g.Control<QRadioButton>(MainDialog::kKanjiJis)->isChecked());
  QVERIFY(g.Control<QRadioButton>(MainDialog::kRegExpReplace)->isChecked());
  QVERIFY(g.Control<QRadioButton>(MainDialog::kKanjiJis)->isEnabled());
  QVERIFY(g.Control<QWidget>(MainDialog::kTableButton)->isEnabled());
  QVERIFY(!g.Control<QWidget>(MainDialog::kDestinationButton)->isEnabled());
}

void SettingsFilesTest::shorter_list_leaves_no_stale_keys() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.files = {"/d/1", "/d/2", "/d/3"};
  f.Click(MainDialog::kSelectFiles);
  f.desktop.save_file = f.Path("mine.ini");
  Trigger(w, "action_save_settings");
  f.Click(MainDialog::kClearList);
  f.desktop.files = {"/d/9"};
  f.Click(MainDialog::kSelectFiles);
  Trigger(w, "action_save_settings");
  const std::string text = ReadFile(f.Path("mine.ini"));
  QVERIFY(text.find("Count=1") != std::string::npos);
  QVERIFY(text.find("file0=/d/9") != std::string::npos);
  QVERIFY(text.find("file1") == std::string::npos);
  QVERIFY(text.find("file2") == std::string::npos);
}

void SettingsFilesTest::loading_the_program_settings_file_empties_the_list() {
  WindowFixture f;
  WriteFile(f.SettingsPath(), "[Folder]\nDestination=/srv/out\nDeleteHTMLTag=1\n");
  MainDialog& w = f.Open();
  f.desktop.files = {"/d/1"};
  f.Click(MainDialog::kSelectFiles);
  f.desktop.open_file = f.SettingsPath();
  Trigger(w, "action_load_settings");
  QVERIFY(w.Entries().empty());
  QCOMPARE(w.Options().Destination, std::string("/srv/out"));
  QVERIFY(f.Control<QCheckBox>(MainDialog::kDeleteHtmlTag)->isChecked());
}

void SettingsFilesTest::missing_entry_keys_give_empty_entries() {
  WindowFixture f;
  WriteFile(f.Path("hand.ini"), "[Files]\nCount=3\nfile0=/d/x\nfile1=/d/y\n");
  MainDialog& w = f.Open();
  f.desktop.open_file = f.Path("hand.ini");
  Trigger(w, "action_load_settings");
  QCOMPARE(w.Entries(), (std::vector<std::string>{"", "/d/x", "/d/y"}));
}

void SettingsFilesTest::failed_save_is_reported() {
  WindowFixture f;
  MainDialog& w = f.Open();
  f.desktop.save_file = f.Path("no/such/folder/mine.ini");
  Trigger(w, "action_save_settings");
  QCOMPARE(f.desktop.Boxes(),
           QStringList{QStringLiteral(
               "message[エラー/exclamation] 設定ファイルを保存できません。(Error:2)")});
  // The automatic save at closing stays silent, even where it cannot write.
  WindowFixture g;
  MainDialogSetup setup;
  setup.settings_path = "/proc/ostrevin-cannot-write/ostrevin.ini";
  setup.readme_path = g.Path("ostrevin.htm");
  setup.application_name = "ostrevin";
  MainDialog unwritable(g.desktop, setup);
  unwritable.show();
  unwritable.reject();
  QVERIFY(g.desktop.calls.isEmpty());
}

QTEST_MAIN(SettingsFilesTest)
#include "tst_settings_files.moc"
