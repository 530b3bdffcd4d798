// Placement of dialog controls in dialog units, with the caption fit.
#include "app/dialog_layout.h"

#include <QWidget>
#include <algorithm>

namespace ostrevin::app {

void DialogLayout::Place(QWidget& widget, QRect units_rect, bool captioned) {
  placements_.push_back({&widget, units_rect, captioned});
  const QRect& r = units_rect;
  widget.setGeometry(units_.Rect(r.x(), r.y(), r.width(), r.height()).translated(0, top_));
}

const DialogUnits& DialogLayout::FitCaptions() {
  double factor = 1.0;
  for (const Placement& placement : placements_) {
    if (!placement.captioned) continue;
    const int have = placement.widget->width();
    const int need = placement.widget->sizeHint().width();
    if (have > 0 && need > have) factor = std::max(factor, static_cast<double>(need) / have);
  }
  if (factor > 1.0) {
    // A little over the exact ratio, so rounding never leaves a pixel short.
    units_ = units_.Widened(factor * 1.01);
    Apply();
  }
  return units_;
}

void DialogLayout::Apply() {
  for (const Placement& placement : placements_) {
    const QRect& r = placement.units_rect;
    placement.widget->setGeometry(
        units_.Rect(r.x(), r.y(), r.width(), r.height()).translated(0, top_));
  }
}

}  // namespace ostrevin::app
