#include "main_window/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace hiduke {
namespace {

// A sheet of a tear-off calendar: a red binding, a white page and one day
// underlined in the Sunday red, in the few flat colours of a 16-colour icon.
QPixmap CalendarPage(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const qreal unit = size / 16.0;
  painter.scale(unit, unit);
  painter.setPen(Qt::NoPen);

  painter.setBrush(QColor(0, 0, 0));
  painter.drawRect(QRectF(1, 1, 14, 14));
  painter.setBrush(QColor(255, 255, 255));
  painter.drawRect(QRectF(2, 5, 12, 9));
  painter.setBrush(QColor(255, 51, 0));
  painter.drawRect(QRectF(2, 2, 12, 3));

  // Three rows of days; Sunday red, Saturday green, the rest grey.
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      const QColor colour = column == 0 ? QColor(255, 51, 0)
                            : column == 3 ? QColor(0, 192, 0)
                                          : QColor(128, 128, 128);
      painter.setBrush(colour);
      painter.drawRect(QRectF(3 + column * 2.75, 6 + row * 2.5, 1.5, 1.5));
    }
  }
  painter.setBrush(QColor(255, 204, 0));
  painter.drawRect(QRectF(2, 13, 12, 1));
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  icon.addPixmap(CalendarPage(16));
  icon.addPixmap(CalendarPage(32));
  return icon;
}

}  // namespace hiduke
