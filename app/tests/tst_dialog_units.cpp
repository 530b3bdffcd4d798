// Dialog units to pixels: the rounding, rectangles whose neighbours meet
// without overlapping, proportional growth with the font, and the caption fit
// of a dialog layout.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "app/dialog_layout.h"
#include "app/dialog_units.h"

using ostrevin::app::DialogLayout;
using ostrevin::app::DialogUnits;

class DialogUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  void units_map_with_rounding() {
    // The classic 6 x 12 base: 4 units are one average character, 8 one line.
    const struct {
      double base_x, base_y;
      int units, x, y;
    } rows[] = {{6, 12, 351, 527, 527},  // window width
                {6, 12, 307, 461, 461},  // window height
                {6, 12, 4, 6, 6},        // one character
                {7, 17, 2, 4, 4},        // an odd half rounds up
                {7, 17, 0, 0, 0}};
    for (const auto& row : rows) {
      const DialogUnits dlu(row.base_x, row.base_y);
      QCOMPARE(dlu.X(row.units), row.x);
      QCOMPARE(dlu.Y(row.units), row.y);
    }
  }

  void neighbouring_rectangles_meet() {
    const DialogUnits dlu(7.0, 17.0);
    for (int x = 0; x < 60; ++x) {
      QCOMPARE(dlu.Rect(x, 7, 13, 16).right() + 1, dlu.Rect(x + 13, 7, 9, 16).left());
    }
  }

  void larger_font_keeps_proportions() {
    QFont small = QApplication::font();
    small.setPointSize(9);
    QFont large = small;
    large.setPointSize(18);
    const DialogUnits a(small);
    const DialogUnits b(large);
    QVERIFY(b.X(351) > a.X(351));
    const double ratio_a = double(a.X(351)) / a.Y(307);
    const double ratio_b = double(b.X(351)) / b.Y(307);
    QVERIFY2(qAbs(ratio_a - ratio_b) < 0.1, qPrintable(QString::number(ratio_a - ratio_b)));
  }

  void layout_widens_evenly_for_a_long_caption_and_never_narrows() {
    QWidget dialog;
    QPushButton short_one(QStringLiteral("OK"), &dialog);
    QPushButton long_one(QStringLiteral("とても長いボタンの名前です"), &dialog);
    DialogLayout layout(DialogUnits(6.0, 12.0), 10);
    layout.Place(short_one, QRect(0, 0, 40, 14), true);
    layout.Place(long_one, QRect(50, 0, 20, 14), true);
    QVERIFY(long_one.sizeHint().width() > long_one.width());
    const DialogUnits& fitted = layout.FitCaptions();
    QVERIFY(fitted.base_x() > 6.0);
    QCOMPARE(fitted.base_y(), 12.0);
    QVERIFY(long_one.sizeHint().width() <= long_one.width());
    // Every control moved by the same units; the client offset stays.
    QCOMPARE(long_one.x(), fitted.X(50));
    QCOMPARE(short_one.width(), fitted.X(40));
    QCOMPARE(short_one.y(), 10);

    DialogLayout roomy(DialogUnits(6.0, 12.0), 0);
    roomy.Place(short_one, QRect(0, 0, 200, 14), true);
    QCOMPARE(roomy.FitCaptions().base_x(), 6.0);
    QCOMPARE(short_one.width(), 300);
  }
};

QTEST_MAIN(DialogUnitsTest)
#include "tst_dialog_units.moc"
