// Placement of dialog controls in dialog units, with the caption fit.
#include "app/dialog_layout.h"

#include <QWidget>
#include <algorithm>

namespace ostrevin::app {

namespace {

// A span [begin, end) of a design `extra` pixels smaller, moved or stretched.
void Follow(int& begin, int& end, int extra, bool low_edge, bool high_edge) {
  if (high_edge) {
    end += extra;
    if (!low_edge) begin += extra;
  }
}

}  // namespace

void DialogLayout::Place(QWidget& widget, QRect units_rect, bool captioned, unsigned anchors) {
  placements_.push_back({&widget, units_rect, captioned, anchors});
  PlaceOne(placements_.back());
}

void DialogLayout::Stretch(QSize extra) {
  extra_ = extra.expandedTo(QSize(0, 0));
  Apply();
}

void DialogLayout::PlaceOne(const Placement& placement) {
  const QRect& r = placement.units_rect;
  const QRect design = units_.Rect(r.x(), r.y(), r.width(), r.height()).translated(0, top_);
  int left = design.left(), right = design.left() + design.width();
  int top = design.top(), bottom = design.top() + design.height();
  const unsigned a = placement.anchors;
  Follow(left, right, extra_.width(), (a & kLeft) != 0, (a & kRight) != 0);
  Follow(top, bottom, extra_.height(), (a & kTop) != 0, (a & kBottom) != 0);
  placement.widget->setGeometry(QRect(left, top, right - left, bottom - top));
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
  for (const Placement& placement : placements_) PlaceOne(placement);
}

}  // namespace ostrevin::app
