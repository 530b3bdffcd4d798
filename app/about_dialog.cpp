// The version box, laid out in dialog units of its font.
#include "app/about_dialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/dialog_units.h"
#include "app/japanese_ui.h"

namespace ostrevin::app {

QString VersionText() { return QStringLiteral(OSTREVIN_VERSION_TEXT); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("バージョン情報"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(JapaneseDialogFont());
  const DialogUnits units(font());

  const QRect icon_rect = units.Rect(11, 10, 20, 21);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("about_icon"));
  icon->setGeometry(icon_rect);
  const int side = std::min(icon_rect.width(), icon_rect.height());
  icon->setPixmap(QIcon(QStringLiteral(":/ostrevin/ostrevin.svg")).pixmap(side, side));

  auto* name = new QLabel(QStringLiteral("Ostrevin"), this);
  name->setObjectName(QStringLiteral("about_name"));
  name->setGeometry(units.Rect(40, 10, 64, 8));
  // The version's box is narrow in units; the text is kept whole.
  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("about_version"));
  QRect version_rect = units.Rect(9, 35, 23, 8);
  version_rect.setWidth(std::max(version_rect.width(), version->sizeHint().width()));
  version->setGeometry(version_rect);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("about_ok"));
  ok->setGeometry(units.Rect(146, 7, 38, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(units.X(191), units.Y(64));
}

}  // namespace ostrevin::app
