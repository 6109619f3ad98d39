#include "main_window/day_navigator.h"

#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>

#include "main_window/month_view.h"
#include "main_window/note_book.h"

namespace hiduke {
namespace {

using namespace std::chrono;

constexpr int kWheelStep = 120;  // one notch of a common mouse wheel

}  // namespace

DayNavigator::DayNavigator(MonthView& view, const NoteBook& book) : QObject(&view), view_(view), book_(book) {}

bool DayNavigator::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    // Turning the wheel away from the user goes back in time, as scrolling up does.
    wheelAngle_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
    // A flick past the last month that can be shown says so once.
    for (; wheelAngle_ >= kWheelStep; wheelAngle_ -= kWheelStep) {
      if (!stepMonths(months(-1))) wheelAngle_ = 0;
    }
    for (; wheelAngle_ <= -kWheelStep; wheelAngle_ += kWheelStep) {
      if (!stepMonths(months(1))) wheelAngle_ = 0;
    }
    return true;
  }
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier) {
      if (handleKey(key->key(), modifiers == Qt::ControlModifier)) return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

bool DayNavigator::handleKey(int key, bool control) {
  const year_month_day focused = view_.focusedDay();
  switch (key) {
    case Qt::Key_Left: control ? moveToNote(false) : void(view_.focusDay(sys_days(focused) - days(1))); break;
    case Qt::Key_Right: control ? moveToNote(true) : void(view_.focusDay(sys_days(focused) + days(1))); break;
    case Qt::Key_Up: view_.focusDay(sys_days(focused) - days(7)); break;
    case Qt::Key_Down: view_.focusDay(sys_days(focused) + days(7)); break;
    case Qt::Key_PageUp: stepMonths(control ? months(-12) : months(-1)); break;
    case Qt::Key_PageDown: stepMonths(control ? months(12) : months(1)); break;
    case Qt::Key_Home: view_.focusDay(view_.today()); break;
    case Qt::Key_End: view_.focusDay(view_.shownMonth() / last); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: emit view_.dayOpened(focused); break;
    default: return false;
  }
  return true;
}

bool DayNavigator::stepMonths(months count) {
  const year_month_day from = view_.focusedDay();
  const year_month to = from.year() / from.month() + count;
  if (!isShowable(to)) {
    view_.rejectMonth();
    return false;
  }
  return view_.focusDay(to / std::min(from.day(), (to / last).day()));
}

void DayNavigator::moveToNote(bool later) {
  const StoreResult<std::optional<year_month_day>> found = book_.nearestNoteDate(view_.focusedDay(), later);
  if (!found) {
    book_.showError(found.error());
    return;
  }
  if (!*found || !isShowable((*found)->year() / (*found)->month())) {
    view_.sayOnFocusedDay(later ? QStringLiteral("これより後に予定はありません") : QStringLiteral("これより前に予定はありません"));
    return;
  }
  view_.focusDay(**found);
}

}  // namespace hiduke
