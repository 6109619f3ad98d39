#include "main_window/month_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

#include "main_window/day_cell.h"
#include "main_window/day_description.h"
#include "main_window/day_grid.h"
#include "main_window/day_navigator.h"
#include "main_window/day_speech.h"
#include "main_window/design_fonts.h"
#include "main_window/layout_twips.h"
#include "main_window/message_box.h"
#include "main_window/note_book.h"
#include "main_window/screen_reader.h"
#include "main_window/window_look.h"
#include "month_model/weekday_colours.h"

namespace hiduke {
namespace {

using namespace std::chrono;

const std::optional<std::string> kNoNote;

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

MonthView::MonthView(NoteBook& book, QWidget* parent) : RingedWidget(parent), book_(book) {
  setObjectName(QStringLiteral("monthView"));
  buildHeadings();
  buildDays();
  buildButtons();
  setZoom(100);
  setRinged({nextMonthButton_, previousMonthButton_});
  connect(&book_, &NoteBook::monthNotesChanged, this, &MonthView::paintDays);
  auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(menuKey, &QShortcut::activated, this, [this] {
    QWidget* focus = QApplication::focusWidget();
    showMenu(focus != nullptr ? focus->mapToGlobal(focus->rect().center()) : mapToGlobal(rect().center()));
  });
}

void MonthView::buildHeadings() {
  static const std::array<const char*, kWeekdays> kCaptions = {"S", "M", "T", "W", "T", "F", "S"};
  for (int column = 0; column < kWeekdays; ++column) {
    auto* heading = new QLabel(QLatin1String(kCaptions[column]), this);
    heading->setObjectName(QStringLiteral("weekdayHeading%1").arg(column));
    heading->setAlignment(Qt::AlignCenter);
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
  dayGrid_->installEventFilter(new DayNavigator(*this, book_));
  for (int index = 0; index < kCellCount; ++index) {
    auto* cell = new DayCell(dayGrid_);
    cell->setObjectName(QStringLiteral("dayCell%1").arg(index));
    setBackColour(cell, designBackColour(index));
    connect(cell, &DayCell::clicked, this, [this, index] {
      if (const std::optional<year_month_day> day = grid_.dateOfCell(index)) emit dayOpened(*day);
    });
    dayCells_[index] = cell;
  }
  speech_ = new DaySpeech(dayCells_, [this](int index) {
    const std::optional<year_month_day> date = grid_.dateOfCell(index);
    if (!date) return DayWords{};
    const unsigned day = grid_.dayOfCell(index);
    const std::optional<std::string>& note = noteOf(day);
    return DayWords{.name = dayName(*date, *date == today_, holidays_[day], note.has_value()),
                    .description = note ? QString::fromStdString(note->substr(0, note->find('\n'))) : QString(),
                    .tooltip = dayDescription(*date, holidays_[day], note)};
  }, this);
}

void MonthView::buildButtons() {
  nextMonthButton_ = makeButton(this, "nextMonthButton", QStringLiteral("-->"));
  previousMonthButton_ = makeButton(this, "previousMonthButton", QStringLiteral("<--"));
  nextMonthButton_->setAccessibleName(QStringLiteral("次の月"));
  previousMonthButton_->setAccessibleName(QStringLiteral("前の月"));
  connect(nextMonthButton_, &QPushButton::clicked, this, [this] {
    if (showMonth(shownMonth() + months(1))) focusDay_.reset();
  });
  connect(previousMonthButton_, &QPushButton::clicked, this, [this] {
    if (showMonth(shownMonth() - months(1))) focusDay_.reset();
  });
}

void MonthView::setZoom(int zoom) {
  setGeometry(twipsRect(0, 0, layout::kNarrowClientWidth, layout::kClientHeight, zoom));
  for (int column = 0; column < kWeekdays; ++column) {
    weekdayHeadings_[column]->setGeometry(twipsRect(layout::kGridLeft + layout::kColumnPitch * column,
                                                    layout::kHeadingTop, layout::kHeadingSize, layout::kHeadingSize,
                                                    zoom));
    weekdayHeadings_[column]->setFont(cellFont(zoom));
  }
  dayGrid_->setGeometry(twipsRect(layout::kGridLeft, layout::kGridTop,
                                  layout::kColumnPitch * (kWeekdays - 1) + layout::kCellSize,
                                  layout::kRowPitch * (kWeekRows - 1) + layout::kCellSize, zoom));
  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = dayCells_[index];
    cell->setGeometry(twipsRect(layout::kColumnPitch * (index % kWeekdays), layout::kRowPitch * (index / kWeekdays),
                                layout::kCellSize, layout::kCellSize, zoom));
    QFont font = cellFont(zoom);
    font.setUnderline(cell->font().underline());
    cell->setFont(font);
  }
  nextMonthButton_->setGeometry(twipsRect(layout::kNextMonthButton, zoom));
  previousMonthButton_->setGeometry(twipsRect(layout::kPreviousMonthButton, zoom));
  for (QPushButton* button : {nextMonthButton_, previousMonthButton_}) button->setFont(textFont(zoom));
}

QList<QWidget*> MonthView::focusChain() const {
  QList<QWidget*> chain{nextMonthButton_, previousMonthButton_};
  for (DayCell* cell : dayCells_) chain << cell;
  return chain;
}

bool MonthView::showMonth(year_month month) {
  const std::optional<MonthGrid> grid = buildMonthGrid(month);
  if (!grid) {
    rejectMonth();
    return false;
  }
  const bool sameMonth = grid->month() == grid_.month();
  const bool focusInDays = dayGrid_->isAncestorOf(QApplication::focusWidget());
  speech_->holdWordsOf(focusInDays ? QApplication::focusWidget() : nullptr);
  grid_ = *grid;
  holidays_ = holidaysOf(month);
  if (!sameMonth && focusDay_) focusDay_ = std::min(*focusDay_, grid_.lastDay());
  for (int index = 0; index < kCellCount; ++index) {
    const unsigned day = grid_.dayOfCell(index);
    dayCells_[index]->setText(QString::number(day));
    if (day != 0) dayCells_[index]->show();
  }
  book_.readMonth(month);
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
  speech_->releaseHeldWords();
  for (int index = 0; index < kCellCount; ++index) {
    if (grid_.dayOfCell(index) == 0) dayCells_[index]->hide();
  }
  // A step to another month is said, after the day the focus moved to.
  if (!sameMonth && isVisible()) announce(this, monthText(month) + QStringLiteral("を表示しています"));
  emit monthShown(month);
  return true;
}

const std::optional<std::string>& MonthView::noteOf(unsigned day) const {
  const MonthNotes& notes = book_.monthNotes();
  return notes.month == grid_.month() ? notes.days[day] : kNoNote;
}

void MonthView::rejectMonth() {
  showMessage(this, QStringLiteral("月の移動"), QStringLiteral("入力値が間違っています。"));
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
    font.setUnderline(date && noteOf(day));
    cell->setFont(font);
  }
  speech_->describeAll();
  placeFocusMark();
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

void MonthView::takeFocus() {
  placeFocusMark();
  dayCells_[grid_.cellOf(focusedDay().day())]->setFocus(Qt::OtherFocusReason);
}

void MonthView::focusMarkedCell() {
  placeFocusMark();
  const int index = grid_.cellOf(focusedDay().day());
  DayCell* cell = dayCells_[index];
  noteKeyboardFocus(this);
  if (cell->hasFocus()) {
    speech_->refocus(cell);
  } else {
    cell->setFocus(Qt::OtherFocusReason);
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

void MonthView::sayOnFocusedDay(const QString& text) {
  speech_->say(dayCells_[grid_.cellOf(focusedDay().day())], text);
}

void MonthView::contextMenuEvent(QContextMenuEvent* event) {
  QWidget* focus = QApplication::focusWidget();
  const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard && focus != nullptr && isAncestorOf(focus);
  showMenu(fromKeyboard ? focus->mapToGlobal(focus->rect().center()) : event->globalPos());
}

void MonthView::showMenu(QPoint at) {
  QMenu menu(this);
  // Its first item takes the focus, so that a screen reader says it.
  QTimer::singleShot(0, &menu, [&menu] { menu.setActiveAction(menu.actions().constFirst()); });
  menu.addAction(QStringLiteral("今日"), this, [this] { focusDay(today_); });
  menu.addAction(QStringLiteral("日付へ移動…"), this, &MonthView::goToDateRequested);
  menu.addAction(QStringLiteral("予定を検索…"), this, &MonthView::searchRequested);
  menu.addAction(QStringLiteral("今後の予定…"), this, &MonthView::upcomingRequested);
  menu.addAction(QStringLiteral("iCalendar に書き出す…"), this, &MonthView::exportRequested);
  menu.addAction(QStringLiteral("iCalendar から読み込む…"), this, &MonthView::importRequested);
  menu.addAction(QStringLiteral("元に戻す"), this, &MonthView::undoRequested)->setEnabled(undoAvailable_);
  menu.exec(at);
}

}  // namespace hiduke
