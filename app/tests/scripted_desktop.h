// A Desktop for tests: records every call, in order, as one line of text, and
// answers questions and file dialogs from what the test prepared. Also the
// helpers that build a main window over it in a temporary folder.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/main_dialog.h"
#include "core/testing/recording_host.h"

namespace ostrevin::app::testing {

class ScriptedDesktop : public Desktop {
 public:
  // One line per call:
  //   ask[caption/icon] text      message[caption/icon] text
  //   files[title]   folder[title]   open[title]   save[title]   document path   beep
  QStringList calls;
  std::deque<bool> answers;  // for AskYesNo; No when it runs dry
  std::vector<std::string> files;
  std::optional<std::string> folder;
  std::optional<std::string> open_file;
  std::optional<std::string> save_file;
  int document_result = 0;
  std::vector<FileDialogRequest> requests;  // of open and save dialogs
  std::vector<QWidget*> owners;             // of every message box
  // Runs inside each question, while a real box would be open.
  std::function<void()> during_question;

  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                MessageIcon icon) override {
    owners.push_back(owner);
    calls.append(Box("ask", caption, icon) + text);
    if (during_question) during_question();
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                   MessageIcon icon) override {
    owners.push_back(owner);
    calls.append(Box("message", caption, icon) + text);
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
    QStringList out;
    for (const QString& call : calls) {
      if (call.startsWith(QStringLiteral("ask[")) || call.startsWith(QStringLiteral("message["))) {
        out << call;
      }
    }
    return out;
  }

 private:
  static QString Box(const char* kind, const QString& caption, MessageIcon icon) {
    return QStringLiteral("%1[%2/%3] ")
        .arg(QString::fromLatin1(kind), caption,
             QString::fromStdString(ostrevin::testing::IconName(icon)));
  }
};

// A main window over a scripted desktop, with its settings file and read-me in
// a temporary folder of its own.
struct WindowFixture {
  QTemporaryDir dir;
  ScriptedDesktop desktop;
  std::unique_ptr<MainDialog> window;

  [[nodiscard]] std::string Path(const std::string& name) const {
    return dir.path().toStdString() + "/" + name;
  }
  [[nodiscard]] std::string SettingsPath() const { return Path("ostrevin.ini"); }

  // Builds the window; `arguments` as given after the program name.
  MainDialog& Open(std::vector<std::string> arguments = {}) {
    MainDialogSetup setup;
    setup.settings_path = SettingsPath();
    setup.readme_path = Path("ostrevin.htm");
    setup.application_name = "ostrevin";
    setup.arguments = std::move(arguments);
    window = std::make_unique<MainDialog>(desktop, std::move(setup));
    window->show();
    return *window;
  }

  template <typename T>
  [[nodiscard]] T* Control(int id) const {
    return window->findChild<T*>(MainDialog::ControlName(id));
  }
  void Click(int id) const {
    auto* button = Control<QAbstractButton>(id);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }
  [[nodiscard]] QString Status() const { return Control<QLabel>(MainDialog::kStatus)->text(); }
  [[nodiscard]] int Progress() const {
    return Control<QProgressBar>(MainDialog::kProgress)->value();
  }
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace ostrevin::app::testing
