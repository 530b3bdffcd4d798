// Mapping of dialog units to pixels from the dialog font's metrics.
#include "app/dialog_units.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace ostrevin::app {
namespace {

constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// (width of the 52 letters / 26 + 1) / 2: their average width, rounded.
int AverageCharWidth(const QFontMetrics& metrics) {
  const int total = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
  return std::max(1, (total / 26 + 1) / 2);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
    : base_x_(AverageCharWidth(QFontMetrics(font))),
      base_y_(std::max(1, QFontMetrics(font).height())) {}

int DialogUnits::X(int units) const { return static_cast<int>(std::lround(units * base_x_ / 4.0)); }

int DialogUnits::Y(int units) const { return static_cast<int>(std::lround(units * base_y_ / 8.0)); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

DialogUnits DialogUnits::Widened(double factor) const {
  return DialogUnits(base_x_ * std::max(1.0, factor), base_y_);
}

}  // namespace ostrevin::app
