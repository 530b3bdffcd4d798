// Grabs the main window, the scan dialog and the About box into PNG files.
#include "app/screenshots.h"

#include <QDir>
#include <QPixmap>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/main_dialog.h"
#include "app/scan_dialog.h"

namespace ostrevin::app {
namespace {

void Save(QWidget& widget, const QDir& folder, const QString& name) {
  widget.grab().save(folder.filePath(name), "PNG");
}

}  // namespace

void ScheduleScreenshots(MainDialog& window, Desktop& desktop) {
  const QString target = qEnvironmentVariable("OSTREVIN_SCREENSHOTS");
  if (target.isEmpty()) return;
  // Let the window be shown and painted first.
  QTimer::singleShot(800, &window, [&window, &desktop, target] {
    const QDir folder(target);
    Save(window, folder, QStringLiteral("main.png"));

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
