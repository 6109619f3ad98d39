#include "main_window/month_view.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "main_window/day_cell.h"
#include "main_window/day_description.h"
#include "main_window/day_grid.h"
#include "main_window/design_fonts.h"
#include "main_window/screen_reader.h"
#include "main_window/store_messages.h"
#include "main_window/twips.h"
#include "main_window/window_look.h"
#include "month_model/weekday_colours.h"

namespace hiduke {
namespace {

using namespace std::chrono;

const QString kRejectedMonthMessage = QStringLiteral("入力値が間違っています。");

constexpr int kWidthTwips = 3525;
constexpr int kHeightTwips = 3240;
constexpr int kGridLeftTwips = 120;
constexpr int kGridTopTwips = 480;
constexpr int kColumnTwips = 480;
constexpr int kRowTwips = 360;
constexpr int kCellTwips = 375;
constexpr int kWheelStep = 120;  // one notch of a common mouse wheel

// The design back colour of each day cell, seen only while the cell is opaque
// (today's cell). Three of them follow the desktop theme.
QColor designBackColour(int cell) {
  const QPalette system = QApplication::palette();
  switch (cell) {
    case 5: return system.color(QPalette::Window);   // menu background
    case 40: return system.color(QPalette::Button);  // button face
    case 6: case 7: case 25: return QColor(255, 255, 255);
    case 13: case 14: case 20: return QColor(255, 128, 0);
    default: return system.color(QPalette::Base);    // window background
  }
}

}  // namespace

MonthView::MonthView(const NoteStore& notes, QWidget* parent) : QWidget(parent), store_(notes) {
  setObjectName(QStringLiteral("monthView"));
  setGeometry(twipsRect(0, 0, kWidthTwips, kHeightTwips));
  buildHeadings();
  buildDays();
  buildButtons();
  auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(menuKey, &QShortcut::activated, this, [this] {
    QWidget* focus = QApplication::focusWidget();
    showMenu(focus != nullptr ? focus->mapToGlobal(focus->rect().center()) : mapToGlobal(rect().center()));
  });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old) {
    // The focus ring of the buttons is drawn here, around them.
    update();
    // What was said on a day is gone once the focus leaves it; after the
    // new focus is announced, so that it is not heard on the day left.
    if (old != nullptr && old == saidCell_) QMetaObject::invokeMethod(this, &MonthView::unsay, Qt::QueuedConnection);
  });
}

void MonthView::buildHeadings() {
  static const std::array<const char*, kWeekdays> kCaptions = {"S", "M", "T", "W", "T", "F", "S"};
  for (int column = 0; column < kWeekdays; ++column) {
    auto* heading = new QLabel(QLatin1String(kCaptions[column]), this);
    heading->setObjectName(QStringLiteral("weekdayHeading%1").arg(column));
    heading->setGeometry(twipsRect(kGridLeftTwips + kColumnTwips * column, 120, 372, 372));
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(cellFont());
    heading->setAccessibleName(weekdayName(weekday(static_cast<unsigned>(column))));
    setTextColour(heading, QColor(255, 255, 255));
    weekdayHeadings_[column] = heading;
  }
  setTextColour(weekdayHeadings_[0], QColor(255, 128, 128));
  setTextColour(weekdayHeadings_[6], toQColor(kSaturdayColour));
}

void MonthView::buildDays() {
  dayGrid_ = new DayGrid(this);
  dayGrid_->setObjectName(QStringLiteral("dayGrid"));
  const int right = kGridLeftTwips + kColumnTwips * (kWeekdays - 1) + kCellTwips;
  const int bottom = kGridTopTwips + kRowTwips * (kWeekRows - 1) + kCellTwips;
  dayGrid_->setGeometry(twipsRect(kGridLeftTwips, kGridTopTwips, right - kGridLeftTwips, bottom - kGridTopTwips));
  dayGrid_->installEventFilter(this);
  for (int index = 0; index < kCellCount; ++index) {
    auto* cell = new DayCell(dayGrid_);
    cell->setObjectName(QStringLiteral("dayCell%1").arg(index));
    cell->setGeometry(twipsRect(kColumnTwips * (index % kWeekdays), kRowTwips * (index / kWeekdays), kCellTwips, kCellTwips));
    cell->setFont(cellFont());
    setBackColour(cell, designBackColour(index));
    connect(cell, &DayCell::clicked, this, [this, index] {
      if (const std::optional<year_month_day> day = grid_.dateOfCell(index)) emit dayOpened(*day);
    });
    dayCells_[index] = cell;
  }
}

void MonthView::buildButtons() {
  nextMonthButton_ = makeButton(this, "nextMonthButton", QStringLiteral("-->"), twipsRect(2880, 2760, 495, 375));
  previousMonthButton_ = makeButton(this, "previousMonthButton", QStringLiteral("<--"), twipsRect(120, 2760, 495, 375));
  nextMonthButton_->setAccessibleName(QStringLiteral("次の月"));
  previousMonthButton_->setAccessibleName(QStringLiteral("前の月"));
  connect(nextMonthButton_, &QPushButton::clicked, this, [this] {
    if (showMonth(shownMonth() + months(1))) focusDay_.reset();
  });
  connect(previousMonthButton_, &QPushButton::clicked, this, [this] {
    if (showMonth(shownMonth() - months(1))) focusDay_.reset();
  });
}

QList<QWidget*> MonthView::focusChain() const {
  QList<QWidget*> chain{nextMonthButton_, previousMonthButton_};
  for (DayCell* cell : dayCells_) chain << cell;
  return chain;
}

bool MonthView::showMonth(year_month month) {
  const std::optional<MonthGrid> grid = buildMonthGrid(month);
  if (!grid) {
    showMessage(this, kRejectedMonthMessage);
    return false;
  }
  const bool sameMonth = grid->month() == grid_.month();
  const bool focusInDays = dayGrid_->isAncestorOf(QApplication::focusWidget());
  // The day the focus leaves keeps its words until the focus has left it:
  // a screen reader would hear them change to another month's day first.
  describedLater_ = focusInDays ? QApplication::focusWidget() : nullptr;
  grid_ = *grid;
  holidays_ = holidaysOf(month);
  if (!sameMonth && focusDay_) focusDay_ = std::min(*focusDay_, grid_.lastDay());
  for (int index = 0; index < kCellCount; ++index) {
    const unsigned day = grid_.dayOfCell(index);
    dayCells_[index]->setText(QString::number(day));
    if (day != 0) dayCells_[index]->show();
  }
  if (StoreResult<void> read = readNotes(); !read) {
    showMessage(this, storeErrorMessage(read.error()));
    notes_ = MonthNotes{.month = grid_.month(), .file = {}};
  }
  paintDays();
  dayGrid_->setAccessibleName(monthText(month));
  // A screen reader on a month button hears the month it now shows.
  for (QPushButton* button : {previousMonthButton_, nextMonthButton_}) {
    button->setAccessibleDescription(monthText(month) + QStringLiteral("を表示しています"));
  }
  // A hidden cell that has the focus hands it on to the next widget, a
  // button, which a screen reader would announce: the focus goes to the
  // marked day of the new month first, then the empty cells are hidden.
  if (focusInDays) focusMarkedCell();
  if (const QWidget* left = std::exchange(describedLater_, nullptr)) describeDay(cellIndexOf(left));
  for (int index = 0; index < kCellCount; ++index) {
    if (grid_.dayOfCell(index) == 0) dayCells_[index]->hide();
  }
  emit monthShown(month);
  return true;
}

StoreResult<void> MonthView::readNotes() {
  StoreResult<MonthNotes> notes = store_.monthNotes(grid_.month());
  if (!notes) return std::move(notes).error();
  notes_ = std::move(*notes);
  emit notesRead(notes_.file);
  return {};
}

void MonthView::reloadNotes() {
  // Errors wait for the next thing the user does; nothing pops up unasked.
  if (readNotes()) paintDays();
}

void MonthView::setNote(year_month_day day, const std::optional<std::string>& note) {
  if (day.year() / day.month() != notes_.month) return;  // its cell is not on the screen
  notes_.days[unsigned{day.day()}] = note;
  paintDays();
}

void MonthView::setToday(year_month_day today) {
  today_ = today;
  paintDays();
}

void MonthView::setOpenDay(std::optional<year_month_day> day) {
  openDay_ = day;
  paintDays();
}

void MonthView::paintDays() {
  setTextColour(weekdayHeadings_[0], toQColor(kSundayColour));
  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = dayCells_[index];
    const std::optional<year_month_day> date = grid_.dateOfCell(index);
    const unsigned day = grid_.dayOfCell(index);
    cell->setFramed(date == today_);
    cell->setOpenMarked(date && date == openDay_);
    setTextColour(cell, toQColor(holidays_[day] ? kHolidayColour : columnColour(index)));
    QFont font = cell->font();
    font.setUnderline(date && notes_.days[day]);
    cell->setFont(font);
  }
  describeDays();
  placeFocusMark();
}

void MonthView::describeDays() {
  for (int index = 0; index < kCellCount; ++index) {
    if (dayCells_[index] != describedLater_) describeDay(index);
  }
}

void MonthView::describeDay(int index) {
  DayCell* cell = dayCells_[index];
  if (cell == saidCell_) saidCell_ = nullptr;
  // Every name or description set is told to screen readers as a change,
  // the same text too: only what changes is set. Hidden cells say nothing.
  const std::optional<year_month_day> date = grid_.dateOfCell(index);
  const unsigned day = grid_.dayOfCell(index);
  const QString name = date ? dayName(*date, *date == today_, holidays_[day], notes_.days[day].has_value()) : QString();
  const QString description = date ? dayDescription(*date, holidays_[day], notes_.days[day]) : QString();
  if (cell->accessibleName() != name) cell->setAccessibleName(name);
  if (cell->accessibleDescription() != description) cell->setAccessibleDescription(description);
  cell->setToolTip(description.isEmpty() ? QString() : asShownRichText(description));
}

int MonthView::cellIndexOf(const QWidget* cell) const {
  return static_cast<int>(std::find(dayCells_.begin(), dayCells_.end(), cell) - dayCells_.begin());
}

year_month_day MonthView::focusedDay() const {
  if (focusDay_) return grid_.month() / *focusDay_;
  if (today_.year() / today_.month() == grid_.month()) return today_;
  return grid_.month() / 1;
}

void MonthView::placeFocusMark() {
  // Only the marked day is in the keyboard's Tab order.
  const int marked = grid_.cellOf(focusedDay().day());
  for (int index = 0; index < kCellCount; ++index) {
    dayCells_[index]->setFocusPolicy(index == marked ? Qt::TabFocus : Qt::NoFocus);
  }
}

void MonthView::focusMarkedCell() {
  placeFocusMark();
  const int index = grid_.cellOf(focusedDay().day());
  DayCell* cell = dayCells_[index];
  noteKeyboardFocus(this);
  if (cell->hasFocus()) {
    // The same cell now stands for another day, or is come back to: a
    // screen reader hears it as a new focus all the same, described by its
    // tooltip again.
    describedLater_ = nullptr;
    unsay();
    describeDay(index);
    cell->update();
    QAccessibleEvent event(cell, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
  } else {
    cell->setFocus(Qt::OtherFocusReason);
    unsay();
  }
}

bool MonthView::focusDay(year_month_day day) {
  if (day.year() / day.month() != grid_.month()) {
    // Marked before the month is shown, which moves a focus that is on the
    // days to it.
    const std::optional<std::chrono::day> before = focusDay_;
    focusDay_ = day.day();
    if (!showMonth(day.year() / day.month())) {
      focusDay_ = before;
      return false;
    }
    if (dayGrid_->isAncestorOf(QApplication::focusWidget())) return true;
  }
  focusDay_ = day.day();
  focusMarkedCell();
  return true;
}

void MonthView::moveFocusBy(days count) { focusDay(year_month_day(sys_days(focusedDay()) + count)); }

void MonthView::stepMonths(months count) {
  const year_month_day from = focusedDay();
  const year_month to = from.year() / from.month() + count;
  if (!isShowable(to)) {
    showMessage(this, kRejectedMonthMessage);
    return;
  }
  // The same day where the month has it, else its last.
  focusDay(to / std::min(from.day(), (to / last).day()));
}

void MonthView::moveFocusToNote(bool later) {
  const year_month_day from = focusedDay();
  const StoreResult<std::optional<year_month_day>> found = later ? store_.nextNoteDate(from) : store_.previousNoteDate(from);
  if (!found) {
    showMessage(this, storeErrorMessage(found.error()));
    return;
  }
  if (!*found || !isShowable((*found)->year() / (*found)->month())) {
    say(later ? QStringLiteral("これより後に予定はありません") : QStringLiteral("これより前に予定はありません"));
    return;
  }
  focusDay(**found);
}

void MonthView::say(const QString& text) {
  // Shown beside the day, and heard as the day's description.
  DayCell* cell = dayCells_[grid_.cellOf(focusedDay().day())];
  QToolTip::showText(cell->mapToGlobal(cell->rect().bottomLeft()), text, cell);
  saidCell_ = cell;
  announce(cell, text);
}

void MonthView::unsay() {
  if (saidCell_ != nullptr) describeDay(cellIndexOf(saidCell_));
}

void MonthView::keyPressEvent(QKeyEvent* event) {
  // Keys of the days only: the buttons take their own.
  if (!dayGrid_->isAncestorOf(QApplication::focusWidget())) {
    QWidget::keyPressEvent(event);
    return;
  }
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool control = modifiers == Qt::ControlModifier;
  if (modifiers != Qt::NoModifier && !control) {
    QWidget::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left: control ? moveFocusToNote(false) : moveFocusBy(days(-1)); break;
    case Qt::Key_Right: control ? moveFocusToNote(true) : moveFocusBy(days(1)); break;
    case Qt::Key_Up: moveFocusBy(days(-7)); break;
    case Qt::Key_Down: moveFocusBy(days(7)); break;
    case Qt::Key_PageUp: stepMonths(control ? months(-12) : months(-1)); break;
    case Qt::Key_PageDown: stepMonths(control ? months(12) : months(1)); break;
    case Qt::Key_Home: focusDay(today_); break;
    case Qt::Key_End: focusDay(grid_.month() / grid_.lastDay()); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: emit dayOpened(focusedDay()); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

bool MonthView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != dayGrid_ || event->type() != QEvent::Wheel) return QWidget::eventFilter(watched, event);
  // Turning the wheel away from the user goes back in time, as scrolling up does.
  wheelAngle_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
  for (; wheelAngle_ >= kWheelStep; wheelAngle_ -= kWheelStep) stepMonths(months(-1));
  for (; wheelAngle_ <= -kWheelStep; wheelAngle_ += kWheelStep) stepMonths(months(1));
  return true;
}

void MonthView::contextMenuEvent(QContextMenuEvent* event) {
  QWidget* focus = QApplication::focusWidget();
  const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard && focus != nullptr && isAncestorOf(focus);
  showMenu(fromKeyboard ? focus->mapToGlobal(focus->rect().center()) : event->globalPos());
}

void MonthView::showMenu(QPoint at) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("今日"), this, [this] { focusDay(today_); });
  menu.addAction(QStringLiteral("日付へ移動…"), this, &MonthView::goToDateRequested);
  menu.addAction(QStringLiteral("予定を検索…"), this, &MonthView::searchRequested);
  menu.addAction(QStringLiteral("iCalendar に書き出す…"), this, &MonthView::exportRequested);
  menu.exec(at);
}

void MonthView::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  paintFocusRing(painter, nextMonthButton_);
  paintFocusRing(painter, previousMonthButton_);
}

}  // namespace hiduke
