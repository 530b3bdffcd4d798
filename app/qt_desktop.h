// The real Desktop: Qt message boxes with Japanese buttons, Qt's own (translated)
// file dialogs, the desktop's document handler and the system beep.
#pragma once

#include <memory>

#include "app/desktop.h"

class QMessageBox;

namespace ostrevin::app {

class QtDesktop : public Desktop {
 public:
  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                MessageIcon icon) override;
  Answer AskYesNoForAll(QWidget* owner, const QString& text, const QString& caption,
                        MessageIcon icon) override;
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                   MessageIcon icon) override;
  std::vector<std::string> ChooseFiles(QWidget* owner, const QString& title) override;
  std::optional<std::string> ChooseFolder(QWidget* owner, const QString& title) override;
  std::optional<std::string> ChooseOpenFile(QWidget* owner,
                                            const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(QWidget* owner,
                                            const FileDialogRequest& request) override;
  int OpenDocument(const std::string& path) override;
  void Beep() override;
};

// The standard icon of a message box for the core's icon kinds.
[[nodiscard]] int MessageBoxIcon(MessageIcon icon);

// The box of a question, not yet shown: "はい" (the default) and "いいえ" (Esc),
// and with `for_all` "すべてはい" and "すべていいえ" too.
[[nodiscard]] std::unique_ptr<QMessageBox> NewQuestionBox(QWidget* owner, const QString& text,
                                                          const QString& caption, MessageIcon icon,
                                                          bool for_all);

}  // namespace ostrevin::app
