// The fixed layout of a dialog: each control's rectangle in dialog units,
// placed in pixels for the dialog font, widened evenly when a caption would
// not fit its control in that font.
#pragma once

#include <QRect>
#include <vector>

#include "app/dialog_units.h"

class QWidget;

namespace ostrevin::app {

class DialogLayout {
 public:
  // `top` is the pixel offset of the client area (below a menu bar).
  DialogLayout(const DialogUnits& units, int top) : units_(units), top_(top) {}

  // Places `widget` at (x, y, width, height) in dialog units. A captioned
  // control (button, check box, radio button) takes part in the fit.
  void Place(QWidget& widget, QRect units_rect, bool captioned);
  // Widens the units as far as the widest caption needs (never narrower),
  // places every control again and returns the units in force.
  const DialogUnits& FitCaptions();
  [[nodiscard]] const DialogUnits& units() const { return units_; }

 private:
  struct Placement {
    QWidget* widget;
    QRect units_rect;
    bool captioned;
  };
  void Apply();

  DialogUnits units_;
  int top_;
  std::vector<Placement> placements_;
};

}  // namespace ostrevin::app
