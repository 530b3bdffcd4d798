// Settings files from the File menu: the dialogs' requests, a save and load
// round trip of the nine options and the list, and the failing save.
#include <cerrno>

#include "window_fixture.h"

using ostrevin::app::MainDialog;
using ostrevin::app::testing::Describe;
using ostrevin::app::testing::ReadFile;
using ostrevin::app::testing::WindowFixture;
using ostrevin::app::testing::WriteFile;

class SettingsFilesTest : public QObject {
  Q_OBJECT

 private slots:
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
    WriteFile(f.Path("cr.ini"), "[Files]\rCount=1\rfile0=/d/cr\r");
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
    // Lone CRs end lines: this one loads.
    f.desktop.calls.clear();
    f.desktop.open_file = f.Path("cr.ini");
    f.Trigger("action_load_settings");
    QVERIFY(f.desktop.Boxes().isEmpty());
    QCOMPARE(w.Entries(), std::vector<std::string>{"/d/cr"});
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
};

QTEST_MAIN(SettingsFilesTest)
#include "tst_settings_files.moc"
