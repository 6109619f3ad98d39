#include "main_window/day_accessibility.h"

#include <QAccessibleWidget>

#include "main_window/day_cell.h"
#include "main_window/day_grid.h"
#include "main_window/main_window.h"
#include "main_window/screen_reader.h"

namespace hiduke {
namespace {

class DayCellAccessible : public QAccessibleWidget {
 public:
  explicit DayCellAccessible(DayCell* cell) : QAccessibleWidget(cell, QAccessible::Button) {}

  QAccessible::State state() const override {
    // Every shown day can take the focus, not only the one in the Tab order.
    QAccessible::State state = QAccessibleWidget::state();
    state.focusable = true;
    return state;
  }
  // The description as set, never the tooltip, which begins with the date
  // the name has just said.
  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Description ? widget()->accessibleDescription() : QAccessibleWidget::text(kind);
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction()) emit static_cast<DayCell*>(widget())->clicked();
  }
};

class DayGridAccessible : public QAccessibleWidget {
 public:
  explicit DayGridAccessible(DayGrid* grid) : QAccessibleWidget(grid, QAccessible::Grouping) {}

  int childCount() const override { return static_cast<int>(shownCells().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<DayCell*> cells = shownCells();
    if (index < 0 || index >= cells.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(cells[index]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return static_cast<int>(shownCells().indexOf(qobject_cast<DayCell*>(child->object())));
  }

 private:
  QList<DayCell*> shownCells() const {
    QList<DayCell*> cells = widget()->findChildren<DayCell*>(Qt::FindDirectChildrenOnly);
    cells.removeIf([](const DayCell* cell) { return cell->isHidden(); });
    return cells;
  }
};

// Spoken when it shows: what just happened.
class AnnouncerAccessible : public QAccessibleWidget {
 public:
  explicit AnnouncerAccessible(Announcer* announcer) : QAccessibleWidget(announcer, QAccessible::Notification) {}

  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Name ? static_cast<QLabel*>(widget())->text() : QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* windowAccessibleFactory(const QString&, QObject* object) {
  if (auto* cell = qobject_cast<DayCell*>(object)) return new DayCellAccessible(cell);
  if (auto* grid = qobject_cast<DayGrid*>(object)) return new DayGridAccessible(grid);
  if (auto* announcer = qobject_cast<Announcer*>(object)) return new AnnouncerAccessible(announcer);
  // A frame named by its title, as a screen reader expects a main window.
  if (auto* window = qobject_cast<MainWindow*>(object)) return new QAccessibleWidget(window, QAccessible::Window);
  return nullptr;
}

}  // namespace

void installWindowAccessibility() { QAccessible::installFactory(&windowAccessibleFactory); }

}  // namespace hiduke
