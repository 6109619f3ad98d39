#include "main_window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <filesystem>

#include "main_window/app_icon.h"
#include "main_window/day_accessibility.h"
#include "main_window/day_cell.h"
#include "main_window/day_grid.h"
#include "main_window/design_fonts.h"
#include "main_window/holiday_names.h"
#include "main_window/note_panel.h"
#include "main_window/store_messages.h"
#include "main_window/twips.h"
#include "main_window/window_look.h"
#include "month_model/weekday_colours.h"

namespace hiduke {
namespace {

const QString kRejectedMonthMessage = QStringLiteral("入力値が間違っています。");

constexpr int kClientHeightTwips = 3240;
constexpr int kNarrowClientWidthTwips = 3525;
constexpr int kWideClientWidthTwips = 8745;
constexpr int kGridLeftTwips = 120;
constexpr int kGridTopTwips = 480;
constexpr int kColumnTwips = 480;
constexpr int kRowTwips = 360;
constexpr int kCellTwips = 375;
constexpr int kNoteFileSettleMs = 200;

const std::array<const char*, kWeekdays> kWeekdayNames = {"日曜日", "月曜日", "火曜日", "水曜日",
                                                          "木曜日", "金曜日", "土曜日"};

// The design back colour of each day cell, seen only while the cell is opaque
// (today's cell). Three of them follow the desktop theme.
QColor DesignBackColour(int cell) {
  const QPalette system = QApplication::palette();
  switch (cell) {
    case 5: return system.color(QPalette::Window);       // menu background
    case 40: return system.color(QPalette::Button);      // button face
    case 6: case 7: case 25: return QColor(255, 255, 255);
    case 13: case 14: case 20: return QColor(255, 128, 0);
    default: return system.color(QPalette::Base);        // window background
  }
}

int yearNumber(std::chrono::year_month month) { return int{month.year()}; }
int monthNumber(std::chrono::year_month month) { return static_cast<int>(unsigned{month.month()}); }
// A year that std::chrono::year cannot hold gives a month that is not valid,
// which the calendar refuses, rather than one of a year wrapped round.
std::chrono::year_month monthOf(const QDate& date) {
  if (date.year() < int{std::chrono::year::min()} || date.year() > int{std::chrono::year::max()}) return {};
  return std::chrono::year{date.year()} / static_cast<unsigned>(date.month());
}

// The note file in the directory the program was started from, named with
// its full path in every message. The path stays in the system's bytes,
// whatever encoding the directory names are in.
std::string NoteFilePath() { return (std::filesystem::current_path() / "hiduke.dat").string(); }

}  // namespace

MainWindow::MainWindow(std::function<QDate()> today, QWidget* parent)
    : QWidget(parent), today_(std::move(today)), notes_(NoteFilePath()) {
  InstallDayAccessibility();
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(AppIcon());
  setAutoFillBackground(true);
  SetBackColour(this, Qt::black);
  buildMonthView();
  buildNotePanel();
  watchNoteFile();
  // Focus order: the note box, save, close, next month, previous month, the days.
  QWidget* previous = nullptr;
  for (QWidget* next : notePanel_->focusChain() + QList<QWidget*>{nextMonthButton_, previousMonthButton_, dayGrid_}) {
    if (previous != nullptr) setTabOrder(previous, next);
    previous = next;
  }
  // The focus mark of the buttons is drawn on the window around them.
  connect(qApp, &QApplication::focusChanged, this, [this] { update(); });
  setWide(true);
}

MainWindow::~MainWindow() {
  // Closing moves the focus out of the grid and changes the focus widget
  // while the children outlive this part of the object: stop hearing them.
  disconnect(dayGrid_, nullptr, this, nullptr);
  disconnect(qApp, nullptr, this, nullptr);
}

void MainWindow::buildMonthView() {
  static const std::array<const char*, kWeekdays> kHeadingCaptions = {"S", "M", "T", "W", "T", "F", "S"};
  for (int column = 0; column < kWeekdays; ++column) {
    auto* heading = new QLabel(QLatin1String(kHeadingCaptions[column]), this);
    heading->setObjectName(QStringLiteral("weekdayHeading%1").arg(column));
    heading->setGeometry(TwipsRect(kGridLeftTwips + kColumnTwips * column, 120, 372, 372));
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(CellFont());
    heading->setAccessibleName(QString::fromUtf8(kWeekdayNames[column]));
    weekdayHeadings_[column] = heading;
    SetTextColour(heading, QColor(255, 255, 255));
  }
  SetTextColour(weekdayHeadings_[0], QColor(255, 128, 128));
  SetTextColour(weekdayHeadings_[6], ToQColor(kSaturdayColour));

  dayGrid_ = new DayGrid(this);
  dayGrid_->setObjectName(QStringLiteral("dayGrid"));
  const int gridRight = kGridLeftTwips + kColumnTwips * (kWeekdays - 1) + kCellTwips;
  const int gridBottom = kGridTopTwips + kRowTwips * (kWeekRows - 1) + kCellTwips;
  dayGrid_->setGeometry(TwipsRect(kGridLeftTwips, kGridTopTwips, gridRight - kGridLeftTwips, gridBottom - kGridTopTwips));
  for (int index = 0; index < kCellCount; ++index) {
    auto* cell = new DayCell(dayGrid_);
    cell->setObjectName(QStringLiteral("dayCell%1").arg(index));
    cell->setGeometry(TwipsRect(kColumnTwips * (index % kWeekdays), kRowTwips * (index / kWeekdays), kCellTwips, kCellTwips));
    cell->setFont(CellFont());
    SetBackColour(cell, DesignBackColour(index));
    connect(cell, &DayCell::clicked, this, [this, index] { openDay(index); });
    dayCells_[index] = cell;
  }
  connect(dayGrid_, &DayGrid::focusEntered, this, &MainWindow::focusGrid);
  connect(dayGrid_, &DayGrid::focusLeft, this, &MainWindow::markFocusedDay);
  connect(dayGrid_, &DayGrid::moveFocusBy, this, &MainWindow::moveFocusBy);
  connect(dayGrid_, &DayGrid::stepMonthsBy, this, &MainWindow::stepMonthsBy);
  connect(dayGrid_, &DayGrid::goToToday, this, &MainWindow::goToToday);
  connect(dayGrid_, &DayGrid::openFocusedDay, this, [this] {
    const int cell = cellOfDay(focusedDay_);
    if (cell >= 0) openDay(cell);
  });

  nextMonthButton_ = MakeButton(this, "nextMonthButton", QStringLiteral("-->"), TwipsRect(2880, 2760, 495, 375));
  previousMonthButton_ = MakeButton(this, "previousMonthButton", QStringLiteral("<--"), TwipsRect(120, 2760, 495, 375));
  nextMonthButton_->setAccessibleName(QStringLiteral("次の月"));
  previousMonthButton_->setAccessibleName(QStringLiteral("前の月"));
  connect(nextMonthButton_, &QPushButton::clicked, this, &MainWindow::showNextMonth);
  connect(previousMonthButton_, &QPushButton::clicked, this, &MainWindow::showPreviousMonth);
}

void MainWindow::buildNotePanel() {
  notePanel_ = new NotePanel(this, notes_);
  connect(notePanel_, &NotePanel::opened, this, [this] { setWide(true); });
  connect(notePanel_, &NotePanel::closed, this, &MainWindow::notePanelClosed);
  connect(notePanel_, &NotePanel::noteStored, this, &MainWindow::noteStored);
  auto* save = new QShortcut(QKeySequence::Save, this);
  connect(save, &QShortcut::activated, this, [this] {
    if (notePanel_->isOpen()) notePanel_->saveOrDelete();
  });
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, [this] {
    if (notePanel_->isOpen()) notePanel_->requestClose();
  });
}

void MainWindow::watchNoteFile() {
  // The directory too: a save by another copy renames a new file into place.
  noteFileWatcher_ = new QFileSystemWatcher(this);
  noteFileSettled_ = new QTimer(this);
  noteFileSettled_->setSingleShot(true);
  noteFileSettled_->setInterval(kNoteFileSettleMs);
  const QString path = QFile::decodeName(QByteArray::fromStdString(notes_.path()));
  noteFileWatcher_->addPath(QFileInfo(path).absolutePath());
  noteFileWatcher_->addPath(path);  // fails quietly while the file does not exist
  // A steady stream of changes must not put the refresh off for ever.
  const auto settle = [this] {
    if (!noteFileSettled_->isActive()) noteFileSettled_->start();
  };
  connect(noteFileWatcher_, &QFileSystemWatcher::fileChanged, this, settle);
  connect(noteFileWatcher_, &QFileSystemWatcher::directoryChanged, this, settle);
  connect(noteFileSettled_, &QTimer::timeout, this, &MainWindow::noteFileChanged);
}

void MainWindow::noteFileChanged() {
  // A replaced file is a new file to watch.
  const QString path = QFile::decodeName(QByteArray::fromStdString(notes_.path()));
  if (!noteFileWatcher_->files().contains(path)) noteFileWatcher_->addPath(path);
  // Errors wait for the next thing the user does; nothing pops up unasked.
  const StoreResult<std::bitset<32>> marked = notes_.MarkedDays(yearNumber(shown_), monthNumber(shown_));
  if (marked && *marked != markedDays_) setNoteMarks(*marked);
  notePanel_->followNoteFile();
}

void MainWindow::setWide(bool wide) {
  // The frame belongs to the window manager; the client area carries the layout.
  setFixedSize(TwipsToPixels(wide ? kWideClientWidthTwips : kNarrowClientWidthTwips),
               TwipsToPixels(kClientHeightTwips));
}

void MainWindow::start() {
  setWide(false);
  todayDate_ = today_();
  shown_ = monthOf(todayDate_);
  showMonth();  // also titles the window with today's full date
  nextMonthButton_->setFocus();
}

bool MainWindow::isTodaysMonth() const {
  return shown_ == monthOf(todayDate_);
}

bool MainWindow::showMonth() {
  const std::optional<MonthGrid> grid = buildMonthGrid(shown_);
  if (!grid) {
    ShowMessage(this, kRejectedMonthMessage);
    return false;
  }
  grid_ = *grid;
  holidays_ = holidaysOf(shown_);

  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = dayCells_[index];
    const int day = static_cast<int>(grid_.dayOfCell(index));
    cell->setFramed(isTodaysMonth() && day == todayDate_.day());
    cell->setText(QString::number(day));
    cell->setVisible(day != 0);
  }
  // One pass over the note file finds every day of the month that has a note.
  const StoreResult<std::bitset<32>> marked = notes_.MarkedDays(yearNumber(shown_), monthNumber(shown_));
  if (!marked) ShowMessage(this, StoreErrorMessage(marked.error()));
  setNoteMarks(marked ? *marked : std::bitset<32>());

  setWindowTitle(isTodaysMonth() ? DateText(todayDate_.year(), todayDate_.month(), todayDate_.day())
                                 : MonthText(yearNumber(shown_), monthNumber(shown_)));
  dayGrid_->setAccessibleName(MonthText(yearNumber(shown_), monthNumber(shown_)));
  paintDayColours();
  markFocusedDay();
  return true;
}

bool MainWindow::goToMonth(std::chrono::year_month month) {
  const std::chrono::year_month previous = shown_;
  shown_ = month;
  if (showMonth()) return true;
  shown_ = previous;  // the view still shows it
  return false;
}

void MainWindow::paintDayColours() {
  SetTextColour(weekdayHeadings_[0], ToQColor(kSundayColour));
  for (int index = 0; index < kCellCount; ++index) {
    const bool holiday = holidays_[grid_.dayOfCell(index)].has_value();
    SetTextColour(dayCells_[index], ToQColor(holiday ? kHolidayColour : columnColour(index)));
  }
}

void MainWindow::showPreviousMonth() {
  if (goToMonth(shown_ - std::chrono::months{1})) focusedDay_ = 0;
}

void MainWindow::showNextMonth() {
  if (goToMonth(shown_ + std::chrono::months{1})) focusedDay_ = 0;
}

void MainWindow::focusGrid() {
  if (focusedDay_ == 0) focusedDay_ = isTodaysMonth() ? todayDate_.day() : 1;
  markFocusedDay();
}

void MainWindow::moveFocusBy(int days) {
  if (focusedDay_ == 0) focusGrid();
  const QDate target = QDate(yearNumber(shown_), monthNumber(shown_), focusedDay_).addDays(days);
  if (monthOf(target) != shown_) {
    if (!goToMonth(monthOf(target))) return;
  }
  focusedDay_ = target.day();
  markFocusedDay();
}

void MainWindow::stepMonthsBy(int months) {
  if (!goToMonth(shown_ + std::chrono::months{months < 0 ? -1 : 1})) return;
  if (focusedDay_ != 0) focusedDay_ = std::min(focusedDay_, static_cast<int>(unsigned{grid_.lastDay()}));
  markFocusedDay();
}

void MainWindow::goToToday() {
  if (!goToMonth(monthOf(todayDate_))) return;
  focusedDay_ = todayDate_.day();
  markFocusedDay();
}

void MainWindow::markFocusedDay() {
  const int focusedCell = dayGrid_->hasFocus() ? cellOfDay(focusedDay_) : -1;
  for (int index = 0; index < kCellCount; ++index) dayCells_[index]->setFocusMarked(index == focusedCell);
}

int MainWindow::cellOfDay(int day) const {
  if (day < 1 || day > 31) return -1;
  return grid_.cellOf(std::chrono::day{static_cast<unsigned>(day)});
}

void MainWindow::openDay(int cell) {
  if (!notePanel_->settleUnsavedNote()) return;
  notePanel_->open({yearNumber(shown_), monthNumber(shown_), static_cast<int>(grid_.dayOfCell(cell))});
}

void MainWindow::notePanelClosed(bool hadFocus) {
  setWide(false);
  // The keyboard goes back to the days, on the day that was open.
  if (!hadFocus) return;
  const NoteDate& day = notePanel_->day();
  if (day.year == yearNumber(shown_) && day.month == monthNumber(shown_)) focusedDay_ = day.day;
  dayGrid_->setFocus();
}

void MainWindow::noteStored(const NoteDate& day, bool hasNote) {
  // The day's cell is on the screen only while its month is shown.
  if (day.year != yearNumber(shown_) || day.month != monthNumber(shown_)) return;
  std::bitset<32> marked = markedDays_;
  marked.set(static_cast<size_t>(day.day), hasNote);
  setNoteMarks(marked);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (notePanel_->settleUnsavedNote()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // A focused button is marked by a ring around it, so that the mark shows on
  // the black window whatever the button's own style draws.
  auto* button = qobject_cast<QPushButton*>(focusWidget());
  if (button == nullptr || !button->isVisible() || !isActiveWindow()) return;
  QPainter painter(this);
  QPen pen(palette().color(QPalette::Highlight), 2);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(QRectF(button->geometry()).adjusted(-2, -2, 2, 2));
}

void MainWindow::setNoteMarks(const std::bitset<32>& markedDays) {
  markedDays_ = markedDays;
  for (int index = 0; index < kCellCount; ++index) {
    const int day = static_cast<int>(grid_.dayOfCell(index));
    QFont font = dayCells_[index]->font();
    font.setUnderline(day != 0 && markedDays_.test(static_cast<size_t>(day)));
    dayCells_[index]->setFont(font);
    nameDayCell(index);
  }
}

void MainWindow::nameDayCell(int cell) {
  // A screen reader hears the full date, then today, the holiday and
  // whether the day has a note. Hidden cells have no name.
  const int day = static_cast<int>(grid_.dayOfCell(cell));
  QString name;
  if (day != 0) {
    QStringList about;
    if (dayCells_[cell]->isFramed()) about << QStringLiteral("今日");
    if (holidays_[day]) about << HolidayName(*holidays_[day]);
    if (markedDays_.test(static_cast<size_t>(day))) about << QStringLiteral("予定あり");
    name = DateText(yearNumber(shown_), monthNumber(shown_), day);
    if (!about.isEmpty()) name += QLatin1Char(' ') + about.join(QStringLiteral(", "));
  }
  dayCells_[cell]->setAccessibleName(name);
}

}  // namespace hiduke
