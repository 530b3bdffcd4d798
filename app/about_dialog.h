// AboutDialog: the version box with the program icon, its name and version.
#pragma once

#include <QDialog>

namespace ostrevin::app {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

// The version text the box shows: "v." and the project's version.
[[nodiscard]] QString VersionText();

}  // namespace ostrevin::app
