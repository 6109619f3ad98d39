// Writes the window's icon as hiduke-16.png and hiduke-32.png into the
// directory given, for the desktop's icon theme. Run at build time.
#include <QGuiApplication>
#include <QPixmap>

#include "main_window/app_icon.h"

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 2) return 2;
  const QString directory = QString::fromLocal8Bit(argv[1]);
  const QIcon icon = hiduke::AppIcon();
  for (const int size : {16, 32}) {
    const QString path = QStringLiteral("%1/hiduke-%2.png").arg(directory).arg(size);
    if (!icon.pixmap(size, size).save(path)) return 1;
  }
  return 0;
}
