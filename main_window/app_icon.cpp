#include "main_window/app_icon.h"

#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QRectF>

namespace hiduke {
namespace {

// One flat-coloured rectangle of the drawing, on a 16 by 16 grid.
struct IconRect {
  QRectF rect;
  QColor colour;
};

// A sheet of a tear-off calendar: a red binding, a white page and one day
// underlined in the Sunday red, in the few flat colours of a 16-colour icon.
// The pixmaps and the SVG are both drawn from this one list, back to front.
QList<IconRect> calendarPage() {
  const QColor red(255, 51, 0);
  QList<IconRect> shapes = {
      {QRectF(1, 1, 14, 14), QColor(0, 0, 0)},
      {QRectF(2, 5, 12, 9), QColor(255, 255, 255)},
      {QRectF(2, 2, 12, 3), red},
  };
  // Three rows of days; Sunday red, Saturday green, the rest grey.
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      const QColor colour = column == 0 ? red : column == 3 ? QColor(0, 192, 0) : QColor(128, 128, 128);
      shapes.append({QRectF(3 + column * 2.75, 6 + row * 2.5, 1.5, 1.5), colour});
    }
  }
  shapes.append({QRectF(2, 13, 12, 1), QColor(255, 204, 0)});
  return shapes;
}

QPixmap calendarPagePixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const qreal unit = size / 16.0;
  painter.scale(unit, unit);
  painter.setPen(Qt::NoPen);
  for (const IconRect& shape : calendarPage()) {
    painter.setBrush(shape.colour);
    painter.drawRect(shape.rect);
  }
  return pixmap;
}

}  // namespace

QIcon appIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(calendarPagePixmap(size));
  return icon;
}

QByteArray appIconSvg() {
  // Crisp edges keep the flat, pixel-aligned look of the pixmaps.
  QString svg = QStringLiteral(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\""
      " shape-rendering=\"crispEdges\">\n");
  for (const IconRect& shape : calendarPage()) {
    const QRectF& rect = shape.rect;
    svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
               .arg(rect.x())
               .arg(rect.y())
               .arg(rect.width())
               .arg(rect.height())
               .arg(shape.colour.name());
  }
  svg += QStringLiteral("</svg>\n");
  return svg.toUtf8();
}

}  // namespace hiduke
