// Writes the window's icon as hiduke-N.png for each of its sizes, and as
// hiduke.svg, into the directory given, for the desktop's icon theme. Run at
// build time.
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>

#include "main_window/app_icon.h"

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 2) return 2;
  const QString directory = QString::fromLocal8Bit(argv[1]);
  const QIcon icon = hiduke::appIcon();
  for (const QSize& size : icon.availableSizes()) {
    const QString path = QStringLiteral("%1/hiduke-%2.png").arg(directory, QString::number(size.width()));
    if (!icon.pixmap(size).save(path)) return 1;
  }
  QFile svg(directory + QStringLiteral("/hiduke.svg"));
  const QByteArray text = hiduke::appIconSvg();
  if (!svg.open(QIODevice::WriteOnly) || svg.write(text) != text.size() || !svg.flush()) return 1;
  return 0;
}
