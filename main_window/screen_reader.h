#pragma once

#include <QLabel>
#include <QString>

namespace hiduke {

// What a screen reader is told as it happens: a notification in the window
// that `near` belongs to, shown anew for each thing said (Orca speaks a
// notification when it shows, once; it speaks no change of a name or a
// description sent by Qt's bridge). An empty text says nothing.
void announce(QWidget* near, const QString& text);

// The notification itself: a label of one pixel that paints nothing, one
// in each window that says something, made with the window so that its
// coming does not make a screen reader present the window again.
class Announcer : public QLabel {
  Q_OBJECT

 public:
  explicit Announcer(QWidget* window);

 protected:
  void paintEvent(QPaintEvent*) override {}
};

}  // namespace hiduke
