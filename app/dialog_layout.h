// The layout of a dialog: each control's rectangle in dialog units, placed
// in pixels for the dialog font, widened evenly when a caption would not fit
// its control in that font; in a dialog larger than its design, each control
// keeps its distance to the edges it is anchored to.
#pragma once

#include <QRect>
#include <vector>

#include "app/dialog_units.h"

class QWidget;

namespace ostrevin::app {

// The dialog edges a control keeps its distance to. Anchored to both edges of
// a direction, it stretches; to neither, it keeps the left or top one.
enum Anchor : unsigned {
  kLeft = 1,
  kTop = 2,
  kRight = 4,
  kBottom = 8,
  kTopLeft = kLeft | kTop,
  kTopRight = kRight | kTop,
  kBottomLeft = kLeft | kBottom,
  kBottomRight = kRight | kBottom,
};

class DialogLayout {
 public:
  // `top` is the pixel offset of the client area (below a menu bar).
  DialogLayout(const DialogUnits& units, int top) : units_(units), top_(top) {}

  // Places `widget` at (x, y, width, height) in dialog units. A captioned
  // control (button, check box, radio button) takes part in the fit.
  void Place(QWidget& widget, QRect units_rect, bool captioned, unsigned anchors = kTopLeft);
  // Widens the units as far as the widest caption needs (never narrower),
  // places every control again and returns the units in force.
  const DialogUnits& FitCaptions();
  [[nodiscard]] const DialogUnits& units() const { return units_; }
  // Places every control for a dialog `extra` pixels larger than its design
  // (no smaller).
  void Stretch(QSize extra);

 private:
  struct Placement {
    QWidget* widget;
    QRect units_rect;
    bool captioned;
    unsigned anchors;
  };
  void Apply();
  void PlaceOne(const Placement& placement);

  DialogUnits units_;
  int top_;
  std::vector<Placement> placements_;
  QSize extra_;
};

}  // namespace ostrevin::app
