#include "main_window/screen_reader.h"

#include <QWidget>

namespace hiduke {

Announcer::Announcer(QWidget* window) : QLabel(window) {
  setObjectName(QStringLiteral("announcer"));
  setGeometry(0, 0, 1, 1);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();  // until something is said
}

void announce(QWidget* near, const QString& text) {
  if (text.isEmpty()) return;
  QWidget* window = near->window();
  auto* announcer = window->findChild<Announcer*>(QString(), Qt::FindDirectChildrenOnly);
  if (announcer == nullptr) announcer = new Announcer(window);
  // Hidden and shown again: said again, the same words too.
  announcer->hide();
  announcer->setText(text);
  announcer->show();
}

}  // namespace hiduke
