// The main window: controls, menus, enabling rules, file list handling and the
// commands behind its buttons.
#include "app/main_dialog.h"

#include <sys/stat.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

#include "app/about_dialog.h"
#include "app/absolute_path.h"
#include "app/dialog_layout.h"
#include "app/dialog_units.h"
#include "app/dropped_paths.h"
#include "app/input_blocker.h"
#include "app/japanese_ui.h"
#include "app/path_list_widget.h"
#include "app/scan_dialog.h"
#include "app/settings_location.h"
#include "app/window_host.h"
#include "conversion/file_list.h"
#include "conversion/messages.h"
#include "conversion/run_conversion.h"
#include "core/file_error.h"
#include "settings/options_store.h"
#include "settings/profile_store.h"
#include "settings/settings_file.h"

namespace ostrevin::app {
namespace {

const QString kErrorCaption = QStringLiteral("エラー");

// The design's window size in dialog units, below the menu bar.
constexpr UnitSize kDesignUnits{351, 307};

// The value a person's "はい" to the stop question leaves in the stop request
// (a signal leaves its number).
constexpr int kStoppedByPerson = -1;
const QString kStopQuestion = QStringLiteral("変換を中止しますか？");
const QString kStatusStopped = QStringLiteral("変換を中止しました。");

QString ErrorNumberText(const QString& text, int error_number) {
  return QString(text).replace(QStringLiteral("%lu"),
                               QString::number(static_cast<unsigned long>(error_number)));
}

std::vector<FileTypeFilter> SettingsFileFilters() {
  return {{QStringLiteral("設定ファイル (*.ini)"), {QStringLiteral("*.ini")}},
          {QStringLiteral("すべてのファイル (*.*)"), {QStringLiteral("*")}}};
}

std::vector<FileTypeFilter> TableFileFilters() {
  return {{QStringLiteral("変換テーブルファイル (*.txt;*.tbl;*.dic)"),
           {QStringLiteral("*.txt"), QStringLiteral("*.tbl"), QStringLiteral("*.dic")}},
          {QStringLiteral("すべてのファイル (*.*)"), {QStringLiteral("*")}}};
}

// Checks a radio group's button by index; an index outside the group clears
// every button of it.
void SelectRadio(QButtonGroup& group, int index) {
  group.setExclusive(false);
  for (QAbstractButton* button : group.buttons()) button->setChecked(group.id(button) == index);
  group.setExclusive(true);
}

}  // namespace

QString MainDialog::ControlName(int id) { return QStringLiteral("control_%1").arg(id); }

MainDialog::MainDialog(Desktop& desktop, MainDialogSetup setup, QWidget* parent)
    : QDialog(parent), desktop_(desktop), setup_(std::move(setup)) {
  setWindowTitle(QStringLiteral("Ostrevin"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(JapaneseDialogFont());
  setWindowIcon(QIcon(QStringLiteral(":/ostrevin/ostrevin.svg")));

  BuildMenus();
  const int top = menu_bar_->sizeHint().height();
  layout_ = std::make_unique<DialogLayout>(DialogUnits(font()), top);
  BuildControls(*layout_);
  const DialogUnits& units = layout_->FitCaptions();
  SetTabOrder();
  setMinimumSize(units.X(kDesignUnits.width), units.Y(kDesignUnits.height) + top);
  host_ = std::make_unique<WindowHost>(*this, desktop_, status_, progress_);

  // The options first: a folder walk leaves out their destination folder.
  UnitSize size = kDesignUnits;
  try {
    const ProfileStore store(setup_.settings_path);
    options_ = LoadOptions(store);
    size = ReadWindowSize(store, kDesignUnits);
  } catch (const std::bad_alloc&) {
    // A settings file too large for memory: the window starts all the same.
    ShowOutOfMemory();
    options_ = DefaultOptions();
  }
  resize(units.X(size.width), units.Y(size.height) + top);
  WriteControls();
  if (!setup_.arguments.empty()) {
    std::vector<std::string> missing = AddPaths(setup_.arguments);
    if (!missing.empty()) {
      // Once the window is on the screen, so that the box has it behind it.
      QTimer::singleShot(0, this, [this, missing = std::move(missing)] {
        host_->ShowMessageForEach(messages::kPathNotFound, missing, messages::kErrorCaption,
                                  MessageIcon::kExclamation);
      });
    }
  }
  ApplyEnablingRules();
  setAcceptDrops(true);
}

MainDialog::~MainDialog() = default;

const std::vector<std::string>& MainDialog::Entries() const { return list_->Entries(); }

void MainDialog::BuildMenus() {
  menu_bar_ = new QMenuBar(this);
  QMenu* file = menu_bar_->addMenu(QStringLiteral("ファイル(&F)"));
  QAction* load = file->addAction(QStringLiteral("設定の読み込み(&R)..."));
  load->setObjectName(QStringLiteral("action_load_settings"));
  connect(load, &QAction::triggered, this, &MainDialog::LoadSettingsFileClicked);
  QAction* save = file->addAction(QStringLiteral("現在の設定を保存(&W)..."));
  save->setObjectName(QStringLiteral("action_save_settings"));
  connect(save, &QAction::triggered, this, &MainDialog::SaveSettingsFileClicked);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("終了(&X)"));
  quit->setObjectName(QStringLiteral("action_exit"));
  connect(quit, &QAction::triggered, this, &MainDialog::reject);

  QMenu* scan = menu_bar_->addMenu(QStringLiteral("スキャン(&S)"));
  QAction* platform = scan->addAction(QStringLiteral("機種依存文字(&O)..."));
  platform->setObjectName(QStringLiteral("action_scan"));
  connect(platform, &QAction::triggered, this, &MainDialog::ShowScanDialog);

  QMenu* help = menu_bar_->addMenu(QStringLiteral("ヘルプ(&H)"));
  QAction* readme = help->addAction(QStringLiteral("お読み下さい(&R)"));
  readme->setObjectName(QStringLiteral("action_readme"));
  connect(readme, &QAction::triggered, this, &MainDialog::OpenReadMe);
  help->addSeparator();
  QAction* about = help->addAction(QStringLiteral("バージョン情報(&A)..."));
  about->setObjectName(QStringLiteral("action_about"));
  connect(about, &QAction::triggered, this, &MainDialog::ShowAboutDialog);

  // The window menu's addition, on the dialog's own context menu.
  window_menu_ = new QMenu(this);
  window_menu_->setObjectName(QStringLiteral("window_menu"));
  window_menu_->setSeparatorsCollapsible(false);
  window_menu_->addSeparator();
  QAction* window_about = window_menu_->addAction(QStringLiteral("バージョン情報(&A)..."));
  window_about->setObjectName(QStringLiteral("action_about_window_menu"));
  connect(window_about, &QAction::triggered, this, &MainDialog::ShowAboutDialog);
}

void MainDialog::BuildControls(DialogLayout& layout) {
  // The list takes what the window has beyond its design; the options stay
  // at the right, the destination, table and status rows at the bottom.
  auto place = [&](QWidget* widget, int id, int x, int y, int width, int height, unsigned anchors,
                   bool captioned = false) {
    if (id != 0) widget->setObjectName(ControlName(id));
    layout.Place(*widget, QRect(x, y, width, height), captioned, anchors);
  };
  auto button = [&](int id, const QString& text, int x, int y, int width, int height,
                    unsigned anchors) {
    auto* push = new QPushButton(text, this);
    place(push, id, x, y, width, height, anchors, true);
    return push;
  };
  auto check = [&](int id, const QString& text, int x, int y, int width) {
    auto* box = new QCheckBox(text, this);
    place(box, id, x, y, width, 10, kTopRight, true);
    connect(box, &QCheckBox::clicked, this, [this, box] { OptionClicked(box); });
    return box;
  };
  auto radio = [&](QButtonGroup* group, int index, int id, const QString& text, int x, int y,
                   int width) {
    auto* button = new QRadioButton(text, this);
    place(button, id, x, y, width, 10, kTopRight, true);
    button->setFocusPolicy(Qt::ClickFocus);  // no Tab stop: reached with the arrow keys
    button->installEventFilter(this);
    group->addButton(button, index);
    connect(button, &QRadioButton::clicked, this, [this, button] { OptionClicked(button); });
  };

  top_line_ = new QFrame(this);
  top_line_->setFrameShape(QFrame::HLine);
  top_line_->setFrameShadow(QFrame::Sunken);

  select_files_ = button(kSelectFiles, QStringLiteral("ファイル選択"), 7, 7, 69, 16, kTopLeft);
  remove_ = button(kRemove, QStringLiteral("リスト削除"), 78, 7, 71, 16, kTopLeft);
  clear_ = button(kClearList, QStringLiteral("全リスト消去"), 151, 7, 71, 16, kTopLeft);
  exit_ = button(kExit, QStringLiteral("終了"), 273, 7, 71, 16, kTopRight);
  exit_->setDefault(true);

  list_ = new PathListWidget(this);
  place(list_, kList, 7, 27, 215, 175, kTopLeft | kBottomRight);

  auto* options_frame = new QGroupBox(this);
  place(options_frame, 0, 228, 23, 116, 180, kTopRight);
  overwrite_ = check(kOverWrite, QStringLiteral("常に変換元に上書きする"), 235, 39, 88);
  no_output_ = check(kNoOutput, QStringLiteral("無変換のファイルを出力しない"), 235, 53, 104);
  kanji_convert_ =
      check(kKanjiConvert, QStringLiteral("文字コードをシフトJIS に変換"), 235, 67, 101);
  kanji_code_ = new QButtonGroup(this);
  radio(kanji_code_, 0, kKanjiAuto, QStringLiteral("自動判定"), 245, 81, 46);
  radio(kanji_code_, 1, kKanjiEuc, QStringLiteral("日本語EUC"), 245, 95, 46);
  radio(kanji_code_, 2, kKanjiJis, QStringLiteral("日本語JIS"), 245, 109, 46);
  radio(kanji_code_, 3, kKanjiUtf8, QStringLiteral("UTF-8"), 245, 123, 46);
  delete_html_ = check(kDeleteHtmlTag, QStringLiteral("HTML タグを除去する"), 235, 137, 79);
  use_table_ = check(kUseTable, QStringLiteral("変換テーブルを通す"), 235, 151, 75);
  reg_exp_ = new QButtonGroup(this);
  radio(reg_exp_, 0, kSimpleReplace, QStringLiteral("単純な文字列置換"), 245, 165, 70);
  radio(reg_exp_, 1, kRegExpReplace, QStringLiteral("正規表現で置換"), 245, 179, 63);
  kanji_convert_->installEventFilter(this);
  use_table_->installEventFilter(this);

  destination_button_ =
      button(kDestinationButton, QStringLiteral("変換先フォルダ"), 7, 207, 61, 16, kBottomLeft);
  destination_text_ = new QLabel(this);
  place(destination_text_, kDestinationText, 72, 211, 270, 8, kBottomLeft | kRight);
  table_button_ =
      button(kTableButton, QStringLiteral("変換テーブル選択"), 7, 226, 61, 16, kBottomLeft);
  table_text_ = new QLabel(this);
  place(table_text_, kTableText, 72, 230, 270, 8, kBottomLeft | kRight);
  for (QLabel* label : {destination_text_, table_text_}) label->setTextFormat(Qt::PlainText);

  auto* status_frame = new QGroupBox(this);
  place(status_frame, 0, 7, 246, 261, 54, kBottomLeft | kRight);
  status_ = new QLabel(this);
  place(status_, kStatus, 13, 257, 246, 22, kBottomLeft | kRight);
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  progress_ = new QProgressBar(this);
  place(progress_, kProgress, 13, 283, 246, 12, kBottomLeft | kRight);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  run_ = button(kRun, QStringLiteral("変換実行"), 273, 250, 71, 50, kBottomRight);

  connect(select_files_, &QPushButton::clicked, this, &MainDialog::SelectFiles);
  connect(remove_, &QPushButton::clicked, this, &MainDialog::RemoveSelected);
  connect(clear_, &QPushButton::clicked, this, &MainDialog::ClearList);
  connect(exit_, &QPushButton::clicked, this, &MainDialog::reject);
  connect(list_, &PathListWidget::DoubleClicked, this, &MainDialog::RemoveFocusEntry);
  connect(list_, &PathListWidget::DeletePressed, this, &MainDialog::RemoveSelected);
  connect(destination_button_, &QPushButton::clicked, this, &MainDialog::ChooseDestination);
  connect(table_button_, &QPushButton::clicked, this, &MainDialog::ChooseTable);
  connect(run_, &QPushButton::clicked, this, &MainDialog::RunConversionClicked);
}

void MainDialog::SetTabOrder() {
  const std::vector<QWidget*> order = {
      list_,         select_files_, remove_,    clear_,     destination_button_,
      table_button_, run_,          overwrite_, no_output_, kanji_convert_,
      delete_html_,  use_table_,    exit_};
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  list_->setFocus();
}

std::vector<std::string> MainDialog::AddPaths(const std::vector<std::string>& paths) {
  // The destination as the controls show it now; OverWrite writes beside the
  // sources and leaves nothing out.
  ConversionOptions shown = options_;
  shown.OverWrite = overwrite_->isChecked();
  const WalkExclusions exclusions = ExclusionsFor(shown);
  std::vector<std::string> missing;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    const std::string absolute = AbsolutePath(path);
    std::vector<std::string> found;
    if (AddPathOrFolder(absolute, found, exclusions) == AddPathResult::kMissing) {
      missing.push_back(absolute);
    }
    for (std::string& entry : found) list_->AddEntry(std::move(entry));
  }
  list_->RefreshListExtent();
  return missing;
}

void MainDialog::ShowOutOfMemory() {
  desktop_.ShowMessage(this, FromUtf8(kOutOfMemoryMessage), FromUtf8(setup_.application_name),
                       MessageIcon::kExclamation);
}

void MainDialog::ShowLengthLimit() {
  desktop_.ShowMessage(this, FromUtf8(PathLimitMessage()), FromUtf8(setup_.application_name),
                       MessageIcon::kExclamation);
}

bool MainDialog::ReadControls() {
  // In the order of the settings keys; a refused path ends the reading there.
  if (!FitsPathLimit(options_.Destination)) {
    ShowLengthLimit();
    return false;
  }
  options_.OverWrite = overwrite_->isChecked();
  options_.KanjiConvert = kanji_convert_->isChecked();
  options_.DeleteHTMLTag = delete_html_->isChecked();
  options_.KanjiCode = kanji_code_->checkedId();
  options_.UseTable = use_table_->isChecked();
  if (!FitsPathLimit(options_.TablePath)) {
    ShowLengthLimit();
    return false;
  }
  options_.RegExp = reg_exp_->checkedId();
  options_.NoOutput = no_output_->isChecked();
  return true;
}

void MainDialog::WriteControls() {
  destination_text_->setText(DisplayPath(options_.Destination));
  overwrite_->setChecked(options_.OverWrite);
  kanji_convert_->setChecked(options_.KanjiConvert);
  delete_html_->setChecked(options_.DeleteHTMLTag);
  SelectRadio(*kanji_code_, options_.KanjiCode);
  use_table_->setChecked(options_.UseTable);
  table_text_->setText(DisplayPath(options_.TablePath));
  SelectRadio(*reg_exp_, options_.RegExp);
  no_output_->setChecked(options_.NoOutput);
}

void MainDialog::ApplyEnablingRules() {
  const bool kanji = kanji_convert_->isChecked();
  for (QAbstractButton* button : kanji_code_->buttons()) button->setEnabled(kanji);
  const bool table = use_table_->isChecked();
  table_button_->setEnabled(table);
  table_text_->setEnabled(table);
  for (QAbstractButton* button : reg_exp_->buttons()) button->setEnabled(table);
  const bool destination = !overwrite_->isChecked();
  destination_button_->setEnabled(destination);
  destination_text_->setEnabled(destination);
}

void MainDialog::OptionClicked(QAbstractButton* source) {
  ReadControls();
  if (source == overwrite_ || source == kanji_convert_ || source == use_table_) {
    ApplyEnablingRules();
  }
}

void MainDialog::ResetStatus() {
  status_->setText(QString());
  progress_->setValue(0);
}

void MainDialog::SelectFiles() {
  ResetStatus();
  const std::vector<std::string> files =
      desktop_.ChooseFiles(this, QStringLiteral("ファイルの選択"));
  for (const std::string& file : files) list_->AddEntry(AbsolutePath(file));
  list_->RefreshListExtent();
}

void MainDialog::RemoveSelected() {
  ResetStatus();
  if (list_->selectedItems().isEmpty()) {
    desktop_.ShowMessage(this, QStringLiteral("削除するファイルが選択されていません。"),
                         kErrorCaption, MessageIcon::kNone);
    return;
  }
  (void)list_->RemoveSelected();
  list_->RefreshListExtent();
}

void MainDialog::RemoveFocusEntry() {
  ResetStatus();
  if (list_->count() > 0) list_->RemoveAt(std::max(0, list_->currentRow()));
  list_->RefreshListExtent();
}

void MainDialog::ClearList() {
  ResetStatus();
  list_->RemoveAll();
  list_->RefreshListExtent();
}

void MainDialog::ChooseDestination() {
  ResetStatus();
  if (const auto folder =
          desktop_.ChooseFolder(this, QStringLiteral("どのフォルダを選びますか？"))) {
    options_.Destination = *folder;
  }
  WriteControls();
}

void MainDialog::ChooseTable() {
  FileDialogRequest request;
  request.title = QStringLiteral("変換テーブルの選択");
  request.filters = TableFileFilters();
  request.default_suffix = QStringLiteral("txt");
  request.initial_path = options_.TablePath;
  if (const auto file = desktop_.ChooseOpenFile(this, request)) options_.TablePath = *file;
  WriteControls();
}

void MainDialog::RunConversionClicked() {
  if (running_) return;
  running_ = true;
  close_after_run_ = false;
  stop_.store(setup_.stop != nullptr ? setup_.stop->load() : 0);
  RunOutcome outcome = RunOutcome::kFinished;
  {
    const InputBlocker blocker(*this, exit_);
    ReadControls();
    try {
      outcome = RunConversion(list_->Entries(), options_, *host_, RunConfirmation::kAsk,
                              Unconvertible::kRefuse, &stop_)
                    .outcome;
    } catch (const FileError& error) {
      host_->ClearBusy();
      const std::string text = FileErrorMessage(error.kind(), ToUtf8(DisplayPath(error.path())));
      desktop_.ShowMessage(this, FromUtf8(text), FromUtf8(setup_.application_name),
                           MessageIcon::kStop);
    } catch (const std::bad_alloc&) {
      host_->ClearBusy();
      ShowOutOfMemory();
    } catch (const std::exception& error) {
      // Nothing else is expected here; it is shown rather than ending the program.
      host_->ClearBusy();
      desktop_.ShowMessage(this, FromUtf8(error.what()), FromUtf8(setup_.application_name),
                           MessageIcon::kStop);
    }
    host_->ClearBusy();
  }
  running_ = false;
  if (outcome == RunOutcome::kStopped) status_->setText(kStatusStopped);
  if (close_after_run_ || (setup_.stop != nullptr && setup_.stop->load() != 0)) reject();
}

void MainDialog::LoadSettingsFileClicked() {
  FileDialogRequest request;
  request.filters = SettingsFileFilters();
  request.default_suffix = QStringLiteral("ini");
  const auto file = desktop_.ChooseOpenFile(this, request);
  if (!file) return;
  SettingsFileContents contents;
  try {
    contents = LoadSettingsFile(*file);
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory();
    return;
  }
  if (contents.error_number != 0) {
    // The window's state stays as it was.
    desktop_.ShowMessage(
        this,
        FromUtf8(SettingsUnreadableMessage(ToUtf8(DisplayPath(*file)), contents.error_number)),
        kErrorCaption, MessageIcon::kExclamation);
    return;
  }
  options_ = std::move(contents.options);
  list_->SetEntries(std::move(contents.files));
  list_->RefreshListExtent();
  WriteControls();
  ApplyEnablingRules();
}

void MainDialog::SaveSettingsFileClicked() {
  FileDialogRequest request;
  request.filters = SettingsFileFilters();
  request.default_suffix = QStringLiteral("ini");
  const auto file = desktop_.ChooseSaveFile(this, request);
  if (!file) return;
  ReadControls();
  const int error = SaveSettingsFile(*file, options_, list_->Entries());
  if (error != 0) {
    desktop_.ShowMessage(
        this, ErrorNumberText(QStringLiteral("設定ファイルを保存できません。(Error:%lu)"), error),
        kErrorCaption, MessageIcon::kExclamation);
  }
}

void MainDialog::ShowScanDialog() {
  ScanDialog dialog(desktop_, list_->Entries(), this);
  dialog.exec();
}

void MainDialog::OpenReadMe() {
  const std::vector<std::string>& paths = setup_.readme_paths;
  const auto found = std::find_if(paths.begin(), paths.end(), [](const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
  });
  const QString caption = FromUtf8(setup_.application_name);
  if (found == paths.end()) {
    // Named by the first place looked at: where the manual of a program that
    // was copied or built rather than installed belongs.
    const QString path = paths.empty() ? QString() : DisplayPath(paths.front());
    const QString text = ErrorNumberText(
        QStringLiteral("'%1' を開くことができません。(Error:%lu)").arg(path), ENOENT);
    desktop_.ShowMessage(nullptr, text, caption, MessageIcon::kExclamation);
    return;
  }
  // The desktop gives no reason when it has no handler for the document, so
  // the person is told what to do instead of an error number.
  if (desktop_.OpenDocument(*found) == 0) return;
  desktop_.ShowMessage(
      nullptr, QStringLiteral("ブラウザで次のファイルを開いてください: ") + DisplayPath(*found),
      caption, MessageIcon::kExclamation);
}

void MainDialog::ShowAboutDialog() {
  AboutDialog dialog(this);
  dialog.exec();
}

UnitSize MainDialog::SizeInUnits() const {
  const DialogUnits& units = layout_->units();
  const int client_height = height() - menu_bar_->sizeHint().height();
  return {static_cast<int>(std::lround(width() * 4.0 / units.base_x())),
          static_cast<int>(std::lround(client_height * 8.0 / units.base_y()))};
}

void MainDialog::SaveOnClose() {
  ReadControls();
  if (!EnsureParentFolder(setup_.settings_path)) return;
  // Failures are not reported, by design.
  ProfileStore store(setup_.settings_path);
  if (!SaveOptions(store, options_)) return;
  WriteWindowSize(store, SizeInUnits(), kDesignUnits);
  (void)store.Save();
}

void MainDialog::AskToStop(bool then_close) {
  if (asking_to_stop_) return;
  if (stop_.load() == 0) {
    asking_to_stop_ = true;
    const bool yes =
        host_->AskYesNo(ToUtf8(kStopQuestion), messages::kConfirmCaption, MessageIcon::kQuestion);
    asking_to_stop_ = false;
    if (!yes) return;
    stop_.store(kStoppedByPerson);
  }
  if (then_close) close_after_run_ = true;
}

void MainDialog::reject() {
  if (running_) {
    AskToStop(true);
    return;
  }
  if (closing_) return;
  closing_ = true;
  SaveOnClose();
  QDialog::reject();
}

void MainDialog::Stop() {
  if (!running_) {
    reject();
    return;
  }
  const int signal = setup_.stop != nullptr ? setup_.stop->load() : 0;
  stop_.store(signal != 0 ? signal : kStoppedByPerson);
  close_after_run_ = true;
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    AskToStop(true);
    return;
  }
  QDialog::closeEvent(event);  // goes through reject()
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // Esc stops a run; it closes the window only when no run goes on.
  if (running_ && event->key() == Qt::Key_Escape) {
    event->accept();
    AskToStop(false);
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const int top = menu_bar_->sizeHint().height();
  menu_bar_->setGeometry(0, 0, width(), top);
  top_line_->setGeometry(0, top, width(), 2);
  layout_->Stretch(size() - minimumSize());
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  window_menu_->exec(event->globalPos());
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  if (running_) return;
  ResetStatus();
  activateWindow();
  raise();
  const std::vector<std::string> paths = DroppedPaths(*event->mimeData());
  event->acceptProposedAction();
  AddPaths(paths);
}

bool MainDialog::MoveIntoRadioGroup(QButtonGroup& group, int key) {
  if (key != Qt::Key_Down && key != Qt::Key_Right) return false;
  QAbstractButton* target = group.checkedButton();
  if (target == nullptr) target = group.buttons().value(0);
  if (target == nullptr || !target->isEnabled()) return false;
  target->setFocus(Qt::OtherFocusReason);
  return true;
}

bool MainDialog::MoveWithinRadioGroup(QButtonGroup& group, QAbstractButton* from, int key) {
  const QList<QAbstractButton*> buttons = group.buttons();
  const int at = static_cast<int>(buttons.indexOf(from));
  int step = 0;
  if (key == Qt::Key_Down || key == Qt::Key_Right) step = 1;
  if (key == Qt::Key_Up || key == Qt::Key_Left) step = -1;
  if (step == 0 || at < 0) return false;
  const int count = static_cast<int>(buttons.size());
  QAbstractButton* target = buttons.at((at + step + count) % count);
  target->setFocus(Qt::OtherFocusReason);
  target->click();  // selecting follows the focus, as in a radio group
  return true;
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (watched == kanji_convert_) return MoveIntoRadioGroup(*kanji_code_, key);
  if (watched == use_table_) return MoveIntoRadioGroup(*reg_exp_, key);
  auto* button = qobject_cast<QAbstractButton*>(watched);
  if (button != nullptr && button->group() == kanji_code_) {
    return MoveWithinRadioGroup(*kanji_code_, button, key);
  }
  if (button != nullptr && button->group() == reg_exp_) {
    return MoveWithinRadioGroup(*reg_exp_, button, key);
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ostrevin::app
