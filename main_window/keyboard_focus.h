#pragma once

#include <QList>
#include <QWidget>

namespace hiduke {

// Whether the user moves through the window with the keyboard just now:
// focus rings show then, not after a mouse click.
bool usesKeyboardFocus(const QWidget* widget);
// Marks that the user moved with the keyboard, for moves Qt does not see
// as such (the arrows between days).
void noteKeyboardFocus(QWidget* widget);

// A widget that draws a ring around those of its buttons that have the
// focus the keyboard gave them: the buttons' own look does not show on the
// black window.
class RingedWidget : public QWidget {
  Q_OBJECT

 public:
  explicit RingedWidget(QWidget* parent = nullptr);

 protected:
  void setRinged(QList<const QWidget*> children) { ringed_ = std::move(children); }
  void paintEvent(QPaintEvent* event) override;

 private:
  QList<const QWidget*> ringed_;
};

}  // namespace hiduke
