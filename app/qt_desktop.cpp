// Qt implementation of the window's dialogs and desktop services.
#include "app/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <chrono>
#include <memory>

#include "app/chosen_path.h"
#include "app/japanese_ui.h"
#include "app/watched_launch.h"

namespace ostrevin::app {
namespace {

// The name patterns of each type entry are given to the dialog's model
// directly: Qt would read "(*.txt;*.tbl;*.dic)" as one pattern and "*.*" as
// names with a dot only, while the labels must show the texts as they are.
void ApplyTypeFilters(QFileDialog& dialog, const std::vector<FileTypeFilter>& filters) {
  if (filters.empty()) return;
  QStringList labels;
  for (const FileTypeFilter& filter : filters) labels << filter.label;
  dialog.setNameFilters(labels);
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (model == nullptr) return;
  model->setNameFilterDisables(false);
  model->setFilter(model->filter() & ~QDir::CaseSensitive);
  auto use = [model, filters](const QString& label) {
    for (const FileTypeFilter& filter : filters) {
      if (filter.label == label) model->setNameFilters(filter.patterns);
    }
  };
  use(filters.front().label);
  QObject::connect(&dialog, &QFileDialog::filterSelected, model, use);
}

std::optional<std::string> RunFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setDefaultSuffix(request.default_suffix);
  ApplyTypeFilters(dialog, request.filters);
  if (!request.initial_path.empty()) dialog.selectFile(DisplayPath(request.initial_path));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ChosenPathBytes(dialog.selectedFiles().front());
}

// The answer a question box's button stands for.
constexpr char kAnswerProperty[] = "ostrevin_answer";

Answer Ask(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
           bool for_all) {
  const std::unique_ptr<QMessageBox> box = NewQuestionBox(owner, text, caption, icon, for_all);
  box->exec();
  const QAbstractButton* clicked = box->clickedButton();
  return clicked != nullptr ? static_cast<Answer>(clicked->property(kAnswerProperty).toInt())
                            : Answer::kNo;
}

}  // namespace

int MessageBoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kNone:
      return QMessageBox::NoIcon;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case MessageIcon::kStop:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

std::unique_ptr<QMessageBox> NewQuestionBox(QWidget* owner, const QString& text,
                                            const QString& caption, MessageIcon icon,
                                            bool for_all) {
  auto box = std::make_unique<QMessageBox>(static_cast<QMessageBox::Icon>(MessageBoxIcon(icon)),
                                           caption, text, QMessageBox::NoButton, owner);
  const struct {
    QString label;
    QMessageBox::ButtonRole role;
    Answer answer;
  } buttons[] = {
      {QStringLiteral("はい"), QMessageBox::YesRole, Answer::kYes},
      {QStringLiteral("いいえ"), QMessageBox::NoRole, Answer::kNo},
      {QStringLiteral("すべてはい"), QMessageBox::YesRole, Answer::kYesToAll},
      {QStringLiteral("すべていいえ"), QMessageBox::NoRole, Answer::kNoToAll},
  };
  for (const auto& button : buttons) {
    if (!for_all && box->buttons().size() == 2) break;
    QPushButton* added = box->addButton(button.label, button.role);
    added->setProperty(kAnswerProperty, static_cast<int>(button.answer));
    if (button.answer == Answer::kYes) box->setDefaultButton(added);
    if (button.answer == Answer::kNo) box->setEscapeButton(added);
  }
  return box;
}

bool QtDesktop::AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                         MessageIcon icon) {
  return Ask(owner, text, caption, icon, false) == Answer::kYes;
}

Answer QtDesktop::AskYesNoForAll(QWidget* owner, const QString& text, const QString& caption,
                                 MessageIcon icon) {
  return Ask(owner, text, caption, icon, true);
}

void QtDesktop::ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                            MessageIcon icon) {
  QMessageBox box(static_cast<QMessageBox::Icon>(MessageBoxIcon(icon)), caption, text,
                  QMessageBox::NoButton, owner);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

std::vector<std::string> QtDesktop::ChooseFiles(QWidget* owner, const QString& title) {
  QFileDialog dialog(owner, title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& file : dialog.selectedFiles()) files.push_back(ChosenPathBytes(file));
  return files;
}

std::optional<std::string> QtDesktop::ChooseFolder(QWidget* owner, const QString& title) {
  QFileDialog dialog(owner, title);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ChosenPathBytes(dialog.selectedFiles().front());
}

std::optional<std::string> QtDesktop::ChooseOpenFile(QWidget* owner,
                                                     const FileDialogRequest& request) {
  return RunFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDesktop::ChooseSaveFile(QWidget* owner,
                                                     const FileDialogRequest& request) {
  return RunFileDialog(owner, request, QFileDialog::AcceptSave);
}

int QtDesktop::OpenDocument(const std::string& path) {
  // Qt starts xdg-open detached and takes its start for success, so a desktop
  // without any program for the document would look as if it had opened it.
  // Run and watched, xdg-open tells: it ends at once with a non-zero status.
  // A handler still running after the wait (a browser xdg-open stays in) counts
  // as opened.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty()) {
    switch (LaunchAndWatch(PathBytes(opener), path, std::chrono::milliseconds(1500))) {
      case LaunchOutcome::kSucceeded:
      case LaunchOutcome::kStillRunning:
        return 0;
      case LaunchOutcome::kFailed:
        return EIO;  // xdg-open's status is no system error number
      case LaunchOutcome::kNotStarted:
        break;
    }
  }
  // The desktop's handler gives no reason for a refusal.
  return QDesktopServices::openUrl(QUrl::fromLocalFile(DisplayPath(path))) ? 0 : EIO;
}

void QtDesktop::Beep() { QApplication::beep(); }

}  // namespace ostrevin::app
