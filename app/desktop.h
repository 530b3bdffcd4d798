// The window's way to the modal standard dialogs and the desktop: message
// boxes, file and folder dialogs, opening a document, the beep. QtDesktop is
// the real one; tests put a scripted one in its place to answer the questions.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

class QWidget;

namespace ostrevin::app {

// One entry of a file dialog's type list: the text the person sees and the
// patterns it stands for ("*" matches every name, with or without a dot;
// patterns match without regard to case).
struct FileTypeFilter {
  QString label;
  QStringList patterns;

  bool operator==(const FileTypeFilter&) const = default;
};

struct FileDialogRequest {
  QString title;  // empty: the platform's standard title
  std::vector<FileTypeFilter> filters;
  QString default_suffix;    // added to a typed name without extension
  std::string initial_path;  // file system bytes, may be empty
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A modal question with the buttons "はい" and "いいえ"; true only for "はい".
  [[nodiscard]] virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                                      MessageIcon icon) = 0;
  // The same with "すべてはい" and "すべていいえ" as well, which answer it for
  // the rest of a run; Esc is "いいえ".
  [[nodiscard]] virtual Answer AskYesNoForAll(QWidget* owner, const QString& text,
                                              const QString& caption, MessageIcon icon) = 0;
  // A modal message with the button "OK".
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                           MessageIcon icon) = 0;
  // Several existing files (full paths, in the dialog's order); empty on cancel.
  [[nodiscard]] virtual std::vector<std::string> ChooseFiles(QWidget* owner,
                                                             const QString& title) = 0;
  // One existing folder; nothing on cancel.
  [[nodiscard]] virtual std::optional<std::string> ChooseFolder(QWidget* owner,
                                                                const QString& title) = 0;
  // One existing file to open; nothing on cancel.
  [[nodiscard]] virtual std::optional<std::string> ChooseOpenFile(
      QWidget* owner, const FileDialogRequest& request) = 0;
  // A file to save to, after asking before an existing one is replaced.
  [[nodiscard]] virtual std::optional<std::string> ChooseSaveFile(
      QWidget* owner, const FileDialogRequest& request) = 0;
  // Opens an existing document with the desktop's handler for it. 0 on
  // success, else the system error number of the failure (EIO when none is known).
  [[nodiscard]] virtual int OpenDocument(const std::string& path) = 0;
  virtual void Beep() = 0;
};

}  // namespace ostrevin::app
