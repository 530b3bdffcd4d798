// Grabs the main window, the same window grown with a long path in its list,
// the stop question over a run, the scan dialog and the About box into PNG
// files.
#include "app/screenshots.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/japanese_ui.h"
#include "app/main_dialog.h"
#include "app/qt_desktop.h"
#include "app/scan_dialog.h"
#include "conversion/path_names.h"

namespace ostrevin::app {
namespace {

void Save(QWidget& widget, const QDir& folder, const QString& name) {
  widget.grab().save(folder.filePath(name), "PNG");
}

// The screen under `window`, with whatever lies over it (a message box).
void SaveScreenArea(QWidget& window, const QDir& folder, const QString& name) {
  QCoreApplication::processEvents();
  const QRect area = window.frameGeometry();
  window.screen()
      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
      .save(folder.filePath(name), "PNG");
}

// The window as a run shows it at a file, with the stop question
// that Esc, the close box or "終了" ask over it.
void SaveStopQuestion(MainDialog& window, const QDir& folder) {
  if (window.Entries().empty()) return;
  // The shortest entry, whose status line fits its two lines.
  const std::string& source = *std::min_element(
      window.Entries().begin(), window.Entries().end(),
      [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
  const std::string output = JoinPath(window.Options().Destination, FileNameOf(source));
  auto* status = window.findChild<QLabel*>(MainDialog::ControlName(MainDialog::kStatus));
  auto* progress = window.findChild<QProgressBar*>(MainDialog::ControlName(MainDialog::kProgress));
  status->setText(DisplayPath(source) + QStringLiteral(" -> ") + DisplayPath(output));
  progress->setRange(0, static_cast<int>(window.Entries().size()));
  progress->setValue(1);
  const std::unique_ptr<QMessageBox> box =
      NewQuestionBox(&window, QStringLiteral("変換を中止しますか？"), QStringLiteral("確認"),
                     MessageIcon::kQuestion, false);
  box->show();
  box->repaint();
  SaveScreenArea(window, folder, QStringLiteral("stop.png"));
  box->hide();
  window.ResetStatus();
}

}  // namespace

void ScheduleScreenshots(MainDialog& window, Desktop& desktop) {
  const QString target = qEnvironmentVariable("OSTREVIN_SCREENSHOTS");
  if (target.isEmpty()) return;
  // Let the window be shown and painted first.
  QTimer::singleShot(800, &window, [&window, &desktop, target] {
    const QDir folder(target);
    Save(window, folder, QStringLiteral("main.png"));
    SaveStopQuestion(window, folder);

    // Grown by a third: the list takes the room, and a long path still
    // needs its scroll bar.
    const QSize design = window.size();
    window.resize(design * 4 / 3);
    QCoreApplication::processEvents();
    Save(window, folder, QStringLiteral("resized.png"));
    window.resize(design);

    ScanDialog scan(desktop, window.Entries(), &window);
    scan.show();
    if (!window.Entries().empty()) scan.RunScan();  // an empty list would ask for a click
    scan.repaint();
    Save(scan, folder, QStringLiteral("scan.png"));
    scan.hide();

    AboutDialog about(&window);
    about.show();
    about.repaint();
    Save(about, folder, QStringLiteral("about.png"));
    about.hide();

    window.reject();  // the ordinary way out, which saves the options
  });
}

}  // namespace ostrevin::app
