// The one fixture of the window suites: a Desktop that records every call as
// one line of text and answers the message boxes from what the test prepared,
// and a main window over it in a scratch folder of its own, with the ways to
// fill its list (command line, drops, clicks on rows).
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/main_dialog.h"
#include "app/settings_location.h"
#include "core/testing/recording_host.h"

namespace ostrevin::app::testing {

class ScriptedDesktop : public Desktop {
 public:
  // ask[caption/icon] text, message[caption/icon] text, files[title],
  // folder[title], open[title], save[title], document path, beep
  QStringList calls;
  std::deque<bool> answers;  // for AskYesNo; No when it runs dry
  // For AskYesNoForAll, which is recorded like AskYesNo and answers from
  // `answers` once these run dry.
  std::deque<Answer> answers_for_all;
  std::vector<std::string> files;
  std::optional<std::string> folder, open_file, save_file;
  int document_result = 0;
  std::vector<FileDialogRequest> requests;  // of open and save dialogs
  std::vector<QWidget*> owners;             // of every message box
  std::function<void()> during_box;         // runs while a message box is open

  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                MessageIcon icon) override {
    Box(owner, "ask", caption, icon, text);
    return Next(answers, false);
  }
  Answer AskYesNoForAll(QWidget* owner, const QString& text, const QString& caption,
                        MessageIcon icon) override {
    if (answers_for_all.empty())
      return AskYesNo(owner, text, caption, icon) ? Answer::kYes : Answer::kNo;
    Box(owner, "ask", caption, icon, text);
    return Next(answers_for_all, Answer::kNo);
  }
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                   MessageIcon icon) override {
    Box(owner, "message", caption, icon, text);
  }
  std::vector<std::string> ChooseFiles(QWidget*, const QString& title) override {
    calls.append(QStringLiteral("files[%1]").arg(title));
    return files;
  }
  std::optional<std::string> ChooseFolder(QWidget*, const QString& title) override {
    calls.append(QStringLiteral("folder[%1]").arg(title));
    return folder;
  }
  std::optional<std::string> ChooseOpenFile(QWidget*, const FileDialogRequest& request) override {
    calls.append(QStringLiteral("open[%1]").arg(request.title));
    requests.push_back(request);
    return open_file;
  }
  std::optional<std::string> ChooseSaveFile(QWidget*, const FileDialogRequest& request) override {
    calls.append(QStringLiteral("save[%1]").arg(request.title));
    requests.push_back(request);
    return save_file;
  }
  int OpenDocument(const std::string& path) override {
    calls.append(QStringLiteral("document ") + QString::fromStdString(path));
    return document_result;
  }
  void Beep() override { calls.append(QStringLiteral("beep")); }

  // Only the message-box lines.
  [[nodiscard]] QStringList Boxes() const {
    return calls.filter(QRegularExpression(QStringLiteral("^(ask|message)\\[")));
  }

 private:
  void Box(QWidget* owner, const char* kind, const QString& caption, MessageIcon icon,
           const QString& text) {
    owners.push_back(owner);
    calls.append(QStringLiteral("%1[%2/%3] %4")
                     .arg(QString::fromLatin1(kind), caption,
                          QString::fromStdString(ostrevin::testing::IconName(icon)), text));
    if (during_box) during_box();
  }
  template <typename T>
  static T Next(std::deque<T>& queue, T otherwise) {
    if (queue.empty()) return otherwise;
    const T next = queue.front();
    queue.pop_front();
    return next;
  }
};

// A file dialog request as one line: "title|suffix|initial|label=pattern,...|...".
inline QString Describe(const FileDialogRequest& request) {
  QStringList parts = {request.title, request.default_suffix,
                       QString::fromStdString(request.initial_path)};
  for (const FileTypeFilter& filter : request.filters) {
    parts << filter.label + QLatin1Char('=') + filter.patterns.join(QLatin1Char(','));
  }
  return parts.join(QLatin1Char('|'));
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A main window over a scripted desktop, its settings file and read-me places
// in a temporary folder of its own.
struct WindowFixture {
  QTemporaryDir dir;
  ScriptedDesktop desktop;
  std::unique_ptr<MainDialog> window;
  const ostrevin::StopRequest* stop = nullptr;  // handed to the window by Open
  std::string settings_path;                    // empty: SettingsPath()
  // QTemporaryDir cannot remove names that are not UTF-8.
  ~WindowFixture() {
    window.reset();
    std::filesystem::remove_all(dir.path().toStdString());
  }

  [[nodiscard]] std::string Path(const std::string& name) const {
    return dir.path().toStdString() + "/" + name;
  }
  [[nodiscard]] std::string SettingsPath() const { return Path("ostrevin.ini"); }
  // Writes the settings file's Folder section before the window opens.
  void Settings(const std::string& keys) const { WriteFile(SettingsPath(), "[Folder]\n" + keys); }

  // Builds the window; `arguments` as given after the program name.
  MainDialog& Open(std::vector<std::string> arguments = {}) {
    MainDialogSetup setup;
    setup.settings_path = settings_path.empty() ? SettingsPath() : settings_path;
    setup.readme_paths = ReadMePaths(Path("bin/ostrevin"));  // as if installed in the folder
    setup.application_name = "ostrevin";
    setup.arguments = std::move(arguments);
    setup.stop = stop;
    window = std::make_unique<MainDialog>(desktop, std::move(setup));
    window->show();
    return *window;
  }
  // Opens the window with `names` (files holding `content`) below "in" in its
  // list and its destination set to the folder "out".
  MainDialog& OpenWithFiles(const std::vector<std::string>& names, const std::string& content) {
    std::filesystem::create_directories(Path("in"));
    std::filesystem::create_directories(Path("out"));
    Settings("Destination=" + Path("out") + "\n");
    std::vector<std::string> paths;
    for (const std::string& name : names) {
      paths.push_back(Path("in/" + name));
      WriteFile(paths.back(), content);
    }
    return Open(paths);
  }

  template <typename T = QWidget>
  [[nodiscard]] T* Control(int id) const {
    return window->findChild<T*>(MainDialog::ControlName(id));
  }
  void Click(int id) const {
    auto* button = Control<QAbstractButton>(id);
    QVERIFY2(button != nullptr, qPrintable(MainDialog::ControlName(id)));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }
  void Trigger(const char* action) const {
    auto* found = window->findChild<QAction*>(QString::fromLatin1(action));
    QVERIFY2(found != nullptr, action);
    found->trigger();
  }
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) const {
    auto* list = Control<QListWidget>(MainDialog::kList);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
  }
  // Drops `mime` on the window the way the platform delivers it.
  void Drop(QMimeData& mime) const {
    const QPointF at(window->width() / 2.0, window->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
  }
  void DropPaths(const std::vector<std::string>& paths) const {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    QMimeData mime;
    mime.setUrls(urls);
    Drop(mime);
  }
  [[nodiscard]] QString Status() const { return Control<QLabel>(MainDialog::kStatus)->text(); }
  [[nodiscard]] int Progress() const {
    return Control<QProgressBar>(MainDialog::kProgress)->value();
  }
  void SetStatus(const QString& text, int progress = 0) const {
    Control<QLabel>(MainDialog::kStatus)->setText(text);
    Control<QProgressBar>(MainDialog::kProgress)->setValue(progress);
  }
};

}  // namespace ostrevin::app::testing
