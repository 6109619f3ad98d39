// Run with QT_SCALE_FACTOR set (2 when it is not): the whole layout scales
// exactly, and today's frame stays whole.
#include <QApplication>
#include <QImage>
#include <QTest>

#include "main_window/day_cell.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

namespace {

// The colours met walking through `image` from `from` by `step` until `count`
// pixels are seen, with runs of one colour merged.
QList<QColor> colourRuns(const QImage& image, QPoint from, QPoint step, int count) {
  QList<QColor> runs;
  for (QPoint at = from; count-- > 0; at += step) {
    const QColor colour = image.pixelColor(at);
    if (runs.isEmpty() || runs.last() != colour) runs.append(colour);
  }
  return runs;
}

}  // namespace

class HighDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutScalesExactly_data();
  void layoutScalesExactly();
};

void HighDpiTest::layoutScalesExactly_data() {
  QTest::addColumn<QDate>("today");
  QTest::addColumn<int>("framedIndex");
  QTest::addColumn<QColor>("fill");
  QTest::newRow("cell 13") << QDate(2002, 3, 9) << 13 << QColor(255, 128, 0);
  QTest::newRow("cell 6") << QDate(2002, 5, 4) << 6 << QColor(255, 255, 255);
  QTest::newRow("cell 25") << QDate(2002, 3, 21) << 25 << QColor(255, 255, 255);
  QTest::newRow("cell 8") << QDate(2026, 12, 7) << 8 << QApplication::palette().color(QPalette::Base);
}

void HighDpiTest::layoutScalesExactly() {
  QFETCH(QDate, today);
  QFETCH(int, framedIndex);
  QFETCH(QColor, fill);
  const auto window = startedWindow(today);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  const qreal scale = window->devicePixelRatioF();
  QCOMPARE(scale, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
  const QImage image = window->grab().toImage();
  QCOMPARE(image.size(), (QSizeF(235, 216) * scale).toSize());

  // Today's cell, walked through its middle across and down from the black
  // window outside it: black, the frame, the fill, the frame, black again.
  const QColor frame = cell(*window, framedIndex)->drawnTextColour();
  const QPoint topLeft = (QPointF(8 + 32 * (framedIndex % 7), 32 + 24 * (framedIndex / 7)) * scale).toPoint();
  const int middle = qRound(12.5 * scale);
  const int across = qRound(29 * scale);
  const QList<QColor> expected{Qt::black, frame, fill, frame, Qt::black};
  const QList<QColor> row = colourRuns(image, topLeft + QPoint(-qRound(2 * scale), middle), QPoint(1, 0), across);
  const QList<QColor> column = colourRuns(image, topLeft + QPoint(middle, -qRound(2 * scale)), QPoint(0, 1), across);
  // The number in the middle of the cell is skipped: only the edges count.
  QCOMPARE(row.mid(0, 3), expected.mid(0, 3));
  QCOMPARE(row.mid(row.size() - 3), expected.mid(2));
  QCOMPARE(column.mid(0, 3), expected.mid(0, 3));
  QCOMPARE(column.mid(column.size() - 3), expected.mid(2));

  // The note panel's heading, when the panel is open, from x 256 and y 8.
  clickCell(*window, framedIndex);
  const QImage wide = window->grab().toImage();
  QCOMPARE(wide.size(), (QSizeF(583, 216) * scale).toSize());
  const QColor headingBack = QApplication::palette().color(QPalette::Button);
  const auto at = [scale](qreal x, qreal y) { return (QPointF(x, y) * scale).toPoint(); };
  QCOMPARE(wide.pixelColor(at(256, 9)), headingBack);
  QCOMPARE(wide.pixelColor(at(256, 9) - QPoint(1, 0)), QColor(Qt::black));
  QCOMPARE(wide.pixelColor(at(256 + 305, 8 + 17) - QPoint(1, 1)), headingBack);
  QCOMPARE(wide.pixelColor(at(256 + 305, 9)), QColor(Qt::black));
}

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
  HighDpiTest test;
  return runWindowTests(test, argc, argv);
}

#include "high_dpi_test.moc"
