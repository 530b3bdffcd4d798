// The scan dialog: four category switches, the scan button and the report.
#include "app/scan_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/dialog_layout.h"
#include "app/dialog_units.h"
#include "app/japanese_ui.h"
#include "app/main_dialog.h"
#include "app/window_host.h"
#include "scan/scanner.h"

namespace ostrevin::app {

ScanDialog::ScanDialog(Desktop& desktop, const std::vector<std::string>& files, QWidget* parent)
    : QDialog(parent), desktop_(desktop), files_(files) {
  setWindowTitle(QStringLiteral("シフトJIS 機種依存文字の探索"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(JapaneseDialogFont());
  DialogLayout layout(DialogUnits(font()), 0);
  auto place = [&](QWidget* widget, int id, int x, int y, int width, int height,
                   bool captioned = false) {
    if (id != 0) widget->setObjectName(MainDialog::ControlName(id));
    layout.Place(*widget, QRect(x, y, width, height), captioned);
  };
  auto check = [&](int id, const QString& text, int x, int y, int width) {
    auto* box = new QCheckBox(text, this);
    place(box, id, x, y, width, 10, true);
    box->setChecked(true);
    return box;
  };

  auto* targets = new QGroupBox(QStringLiteral("スキャン対象(&T):"), this);
  place(targets, 0, 7, 7, 155, 76);
  half_width_kana_ =
      check(kHalfWidthKana, QStringLiteral("半角カナ文字 （0xA0-0xFF）"), 19, 21, 98);
  special_ = check(kSpecial, QStringLiteral("特殊文字 （0x8540-0x889E）"), 19, 35, 98);
  extended_ = check(kExtended, QStringLiteral("特殊外字・拡張文字 （0xEB40-0xEFFC）"), 19, 49, 133);
  user_defined_ = check(kUserDefined, QStringLiteral("外字エリア （0xF040-0xFFFF）"), 19, 63, 104);

  report_ = new QPlainTextEdit(this);
  place(report_, kReport, 7, 102, 287, 150);
  report_->setReadOnly(true);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* label = new QLabel(QStringLiteral("スキャン結果(&R):"), this);
  place(label, 0, 7, 89, 50, 8, true);
  label->setBuddy(report_);

  auto* scan = new QPushButton(QStringLiteral("スキャン(&S)"), this);
  place(scan, kScan, 244, 12, 50, 14, true);
  auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
  place(close, kClose, 244, 30, 50, 14, true);
  connect(scan, &QPushButton::clicked, this, &ScanDialog::RunScan);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(half_width_kana_, special_);
  setTabOrder(special_, extended_);
  setTabOrder(extended_, user_defined_);
  setTabOrder(user_defined_, report_);
  setTabOrder(report_, scan);
  setTabOrder(scan, close);
  const DialogUnits& units = layout.FitCaptions();
  setFixedSize(units.X(301), units.Y(259));
}

void ScanDialog::RunScan() {
  ScanFlags flags;
  flags.half_width_kana = half_width_kana_->isChecked();
  flags.special = special_->isChecked();
  flags.extended = extended_->isChecked();
  flags.user_defined = user_defined_->isChecked();
  WindowHost host(*this, desktop_);
  const std::optional<ScanReport> report =
      ostrevin::RunScan(files_, flags, ScanRendering::kUtf8, host);
  if (!report) return;  // the empty list was reported; the box keeps its text
  report_->setPlainText(
      FromUtf8(report->text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString ScanDialog::ReportText() const { return report_->toPlainText(); }

}  // namespace ostrevin::app
