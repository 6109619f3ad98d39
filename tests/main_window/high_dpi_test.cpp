// Run with QT_SCALE_FACTOR=2: the whole layout doubles in device pixels.
#include <QApplication>
#include <QImage>
#include <QTest>

#include "main_window/day_cell.h"
#include "window_test_support.h"

using namespace hiduke;
using namespace hiduke::testing;

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
}

void HighDpiTest::layoutScalesExactly() {
  QFETCH(QDate, today);
  QFETCH(int, framedIndex);
  QFETCH(QColor, fill);
  const auto window = StartedWindow(today);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  QCOMPARE(window->devicePixelRatio(), 2);
  const QImage image = window->grab().toImage();
  QCOMPARE(image.size(), QSize(470, 432));

  // Today's cell: its opaque fill spans exactly twice its 25-pixel square,
  // with the black window right outside it.
  const int left = 2 * (8 + 32 * (framedIndex % 7));
  const int top = 2 * (32 + 24 * (framedIndex / 7));
  QCOMPARE(image.pixelColor(left + 4, top + 4), fill);
  QCOMPARE(image.pixelColor(left + 45, top + 45), fill);
  QCOMPARE(image.pixelColor(left - 1, top + 10), QColor(Qt::black));
  QCOMPARE(image.pixelColor(left + 50, top + 10), QColor(Qt::black));
  // The note panel's heading, when the panel is open, from x 512 and y 16.
  ClickCell(*window, framedIndex);
  const QImage wide = window->grab().toImage();
  QCOMPARE(wide.size(), QSize(1166, 432));
  const QColor headingBack = QApplication::palette().color(QPalette::Button);
  QCOMPARE(wide.pixelColor(2 * 256, 2 * 8 + 1), headingBack);
  QCOMPARE(wide.pixelColor(2 * 256 - 1, 2 * 8 + 1), QColor(Qt::black));
  QCOMPARE(wide.pixelColor(2 * (256 + 305) - 1, 2 * (8 + 17) - 1), headingBack);
  QCOMPARE(wide.pixelColor(2 * (256 + 305), 2 * 8 + 1), QColor(Qt::black));
}

int main(int argc, char* argv[]) {
  qputenv("QT_SCALE_FACTOR", "2");
  HighDpiTest test;
  return RunWindowTests(test, argc, argv);
}

#include "high_dpi_test.moc"
