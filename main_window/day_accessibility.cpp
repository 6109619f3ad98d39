#include "main_window/day_accessibility.h"

#include <QAccessibleWidget>

#include "main_window/day_cell.h"
#include "main_window/day_grid.h"

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

QAccessibleInterface* dayAccessibleFactory(const QString&, QObject* object) {
  if (auto* cell = qobject_cast<DayCell*>(object)) return new DayCellAccessible(cell);
  if (auto* grid = qobject_cast<DayGrid*>(object)) return new DayGridAccessible(grid);
  return nullptr;
}

}  // namespace

void installDayAccessibility() { QAccessible::installFactory(&dayAccessibleFactory); }

}  // namespace hiduke
