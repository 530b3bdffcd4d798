// Dialog units: the window's layout is given in units of the dialog font
// (a quarter of its average character width across, an eighth of its height
// down), mapped to pixels here so the window keeps its proportions at any size.
#pragma once

#include <QFont>
#include <QRect>

namespace ostrevin::app {

class DialogUnits {
 public:
  // Base units computed like the classic dialog manager does: base_x = the
  // average width of the 52 ASCII letters, rounded; base_y = the font height.
  explicit DialogUnits(const QFont& font);
  DialogUnits(double base_x, double base_y) : base_x_(base_x), base_y_(base_y) {}

  [[nodiscard]] int X(int units) const;
  [[nodiscard]] int Y(int units) const;
  // A control rectangle (x, y, width, height in dialog units), with the right
  // and bottom edges mapped from the edge positions so neighbours never overlap.
  [[nodiscard]] QRect Rect(int x, int y, int width, int height) const;
  // The same units made wider by `factor` (at least 1): for a font whose
  // captions need more room than the layout's fonts did.
  [[nodiscard]] DialogUnits Widened(double factor) const;
  [[nodiscard]] double base_x() const { return base_x_; }
  [[nodiscard]] double base_y() const { return base_y_; }

 private:
  double base_x_;
  double base_y_;
};

}  // namespace ostrevin::app
