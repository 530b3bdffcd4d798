// MainDialog: the program's only main window. It owns the file list and the
// conversion options, mirrors the options in its controls, and runs the batch
// conversion, the settings files, the scan dialog and the help commands.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/window_size.h"
#include "conversion/run_conversion.h"
#include "settings/conversion_options.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace ostrevin::app {

class DialogLayout;
class PathListWidget;
class WindowHost;

// What the application hands the window at start.
struct MainDialogSetup {
  std::string settings_path;  // the settings file (Folder section) read at start, written at close
  std::vector<std::string> readme_paths;  // Help opens the first of these that exists
  std::string application_name;           // caption of file-error and read-me messages
  std::vector<std::string> arguments;     // command-line paths, after the program name
  // Set by a stop signal: a run stops between two files, then the window closes.
  const StopRequest* stop = nullptr;
};

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // Control ids, kept as the widgets' object names ("control_1001").
  enum ControlId {
    kList = 1000,
    kSelectFiles = 1001,
    kDestinationButton = 1003,
    kRun = 1005,
    kDestinationText = 1006,
    kClearList = 1007,
    kStatus = 1008,
    kProgress = 1009,
    kRemove = 1010,
    kOverWrite = 1011,
    kKanjiConvert = 1012,
    kDeleteHtmlTag = 1013,
    kKanjiAuto = 1014,
    kKanjiEuc = 1015,
    kKanjiJis = 1016,
    kKanjiUtf8 = 1017,
    kUseTable = 1018,
    kTableButton = 1020,
    kTableText = 1021,
    kSimpleReplace = 1024,
    kRegExpReplace = 1025,
    kNoOutput = 1028,
    kExit = 2,
  };
  [[nodiscard]] static QString ControlName(int id);

  MainDialog(Desktop& desktop, MainDialogSetup setup, QWidget* parent = nullptr);
  ~MainDialog() override;

  [[nodiscard]] const std::vector<std::string>& Entries() const;
  [[nodiscard]] const ConversionOptions& Options() const { return options_; }
  [[nodiscard]] bool IsRunning() const { return running_; }
  // The menu that stands in for the title bar's window menu (right click on
  // the dialog), which X11 and Wayland window managers keep to themselves.
  [[nodiscard]] QMenu* WindowMenu() const { return window_menu_; }

  // Adds each path, made absolute (AbsolutePath): a file as it is, a folder
  // by its whole subtree; then refreshes the list's extent. Returns the
  // (absolute) paths that do not exist, which add nothing.
  std::vector<std::string> AddPaths(const std::vector<std::string>& paths);

  // Reads all controls back into the options. Stops, after the message
  // "%1 文字以内で入力してください。", at a path longer than the limit; the
  // options after it keep their values. False then.
  bool ReadControls();
  // Writes the options to the controls.
  void WriteControls();
  void ApplyEnablingRules();
  // Empties the status line and sets the progress position to 0.
  void ResetStatus();

 public slots:
  void SelectFiles();
  void RemoveSelected();
  void ClearList();
  void RemoveFocusEntry();
  void ChooseDestination();
  void ChooseTable();
  void RunConversionClicked();
  void LoadSettingsFileClicked();
  void SaveSettingsFileClicked();
  void ShowScanDialog();
  void OpenReadMe();
  void ShowAboutDialog();
  // Every way of closing ends here: controls read back, options and window
  // size saved to the settings file, window closed. During a run it asks
  // whether to stop the run, and closes once the run has stopped.
  void reject() override;
  // A stop signal arrived: the window closes as reject() does, at once when
  // idle, else once the run has stopped after the file under way.
  void Stop();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls(DialogLayout& layout);
  void BuildMenus();
  void SetTabOrder();
  void OptionClicked(QAbstractButton* source);
  void ShowLengthLimit();
  void ShowOutOfMemory();
  void SaveOnClose();
  // During a run: asks whether to stop it; Yes stops it after the file under
  // way, and with `then_close` the window closes after that.
  void AskToStop(bool then_close);
  [[nodiscard]] UnitSize SizeInUnits() const;
  [[nodiscard]] bool MoveIntoRadioGroup(QButtonGroup& group, int key);
  [[nodiscard]] bool MoveWithinRadioGroup(QButtonGroup& group, QAbstractButton* from, int key);

  Desktop& desktop_;
  MainDialogSetup setup_;
  ConversionOptions options_;
  bool running_ = false;
  bool closing_ = false;
  // Read by a run between two files: set by a stop signal or by a person's Yes.
  StopRequest stop_{0};
  bool asking_to_stop_ = false;
  bool close_after_run_ = false;
  std::unique_ptr<DialogLayout> layout_;
  UnitSize design_units_;

  QMenuBar* menu_bar_ = nullptr;
  QFrame* top_line_ = nullptr;
  QMenu* window_menu_ = nullptr;
  PathListWidget* list_ = nullptr;
  QPushButton* select_files_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* exit_ = nullptr;
  QCheckBox* overwrite_ = nullptr;
  QCheckBox* no_output_ = nullptr;
  QCheckBox* kanji_convert_ = nullptr;
  QCheckBox* delete_html_ = nullptr;
  QCheckBox* use_table_ = nullptr;
  QButtonGroup* kanji_code_ = nullptr;
  QButtonGroup* reg_exp_ = nullptr;
  QPushButton* destination_button_ = nullptr;
  QLabel* destination_text_ = nullptr;
  QPushButton* table_button_ = nullptr;
  QLabel* table_text_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* run_ = nullptr;
  std::unique_ptr<WindowHost> host_;
};

}  // namespace ostrevin::app
