// ScanDialog: the search for Shift-JIS platform-dependent characters in the
// files of the main window's list, with the report in a read-only edit box.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/desktop.h"

class QCheckBox;
class QPlainTextEdit;

namespace ostrevin::app {

class ScanDialog : public QDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kHalfWidthKana = 1011,
    kSpecial = 1012,
    kExtended = 1013,
    kUserDefined = 1018,
    kReport = 1030,
    kScan = 1031,
    kClose = 2,
  };

  // `files` is the main window's list; it must outlive the dialog.
  ScanDialog(Desktop& desktop, const std::vector<std::string>& files, QWidget* parent = nullptr);

  // The report as shown, with plain LF line ends.
  [[nodiscard]] QString ReportText() const;

 public slots:
  void RunScan();

 private:
  Desktop& desktop_;
  const std::vector<std::string>& files_;
  QCheckBox* half_width_kana_ = nullptr;
  QCheckBox* special_ = nullptr;
  QCheckBox* extended_ = nullptr;
  QCheckBox* user_defined_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
};

}  // namespace ostrevin::app
