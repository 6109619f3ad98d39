#include "main_window/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "main_window/app_icon.h"
#include "main_window/day_cell.h"
#include "main_window/design_fonts.h"
#include "main_window/twips.h"
#include "month_model/holiday_rules.h"
#include "month_model/weekday_colours.h"

namespace hiduke {
namespace {

const QString kRejectedMonthMessage = QStringLiteral("入力値が間違っています。");

constexpr int kClientHeightTwips = 3240;
constexpr int kNarrowClientWidthTwips = 3525;
constexpr int kWideClientWidthTwips = 8745;

QColor ToQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

void SetBackColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
}

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

// The note box shows line breaks as "\n"; a note holds them as CR LF pairs.
std::string NoteFromBox(const QString& boxText) {
  QString note = boxText;
  note.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  note.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  note.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return note.toStdString();
}

QString BoxFromNote(const std::string& note) {
  return QString::fromStdString(note).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString MonthTitle(int year, int month) {
  return QStringLiteral("%1年%2月").arg(year).arg(month);
}

QString DateText(int year, int month, int day) {
  return MonthTitle(year, month) + QStringLiteral("%1日").arg(day);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  return button;
}

}  // namespace

MainWindow::MainWindow(std::function<QDate()> today, QWidget* parent)
    : QWidget(parent), today_(std::move(today)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(AppIcon());
  setAutoFillBackground(true);
  SetBackColour(this, Qt::black);
  buildMonthView();
  buildNotePanel();
  // Focus order with the panel open: note box, save, close, next, previous.
  setTabOrder(noteEdit_, saveButton_);
  setTabOrder(saveButton_, closeButton_);
  setTabOrder(closeButton_, nextMonthButton_);
  setTabOrder(nextMonthButton_, previousMonthButton_);
  setWide(true);
}

void MainWindow::buildMonthView() {
  static const std::array<const char*, kWeekdays> kHeadingCaptions = {"S", "M", "T", "W", "T", "F", "S"};
  for (int column = 0; column < kWeekdays; ++column) {
    auto* heading = new QLabel(QLatin1String(kHeadingCaptions[column]), this);
    heading->setObjectName(QStringLiteral("weekdayHeading%1").arg(column));
    heading->setGeometry(TwipsRect(120 + 480 * column, 120, 372, 372));
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(CellFont());
    weekdayHeadings_[column] = heading;
    SetTextColour(heading, QColor(255, 255, 255));
  }
  SetTextColour(weekdayHeadings_[0], QColor(255, 128, 128));
  SetTextColour(weekdayHeadings_[6], ToQColor(kSaturdayColour));

  for (int index = 0; index < kCellCount; ++index) {
    const int row = index / kWeekdays;
    const int column = index % kWeekdays;
    auto* cell = new DayCell(this);
    cell->setObjectName(QStringLiteral("dayCell%1").arg(index));
    cell->setGeometry(TwipsRect(120 + 480 * column, 480 + 360 * row, 375, 375));
    cell->setAlignment(Qt::AlignCenter);
    cell->setFont(CellFont());
    SetBackColour(cell, DesignBackColour(index));
    connect(cell, &DayCell::clicked, this, [this, index] { openDay(index); });
    dayCells_[index] = cell;
  }

  nextMonthButton_ = MakeButton(this, "nextMonthButton", QStringLiteral("-->"), TwipsRect(2880, 2760, 495, 375));
  previousMonthButton_ = MakeButton(this, "previousMonthButton", QStringLiteral("<--"), TwipsRect(120, 2760, 495, 375));
  nextMonthButton_->setAccessibleName(QStringLiteral("次の月"));
  previousMonthButton_->setAccessibleName(QStringLiteral("前の月"));
  connect(nextMonthButton_, &QPushButton::clicked, this, &MainWindow::showNextMonth);
  connect(previousMonthButton_, &QPushButton::clicked, this, &MainWindow::showPreviousMonth);
}

void MainWindow::buildNotePanel() {
  noteEdit_ = new QPlainTextEdit(this);
  noteEdit_->setObjectName(QStringLiteral("noteEdit"));
  noteEdit_->setGeometry(TwipsRect(3600, 480, 4935, 2055));
  noteEdit_->setTabChangesFocus(true);  // Tab moves on to the buttons, as in any form
  noteEdit_->setAccessibleName(QStringLiteral("予定"));
  noteEdit_->hide();

  saveButton_ = MakeButton(this, "saveButton", QStringLiteral("更新・削除"), TwipsRect(5040, 2760, 975, 375));
  saveButton_->hide();
  closeButton_ = MakeButton(this, "closeButton", QStringLiteral("閉じる"), TwipsRect(6240, 2760, 975, 375));
  closeButton_->hide();
  connect(saveButton_, &QPushButton::clicked, this, &MainWindow::saveOrDeleteNote);
  connect(closeButton_, &QPushButton::clicked, this, &MainWindow::closeNotePanel);

  noteHeading_ = new QLabel(this);
  noteHeading_->setObjectName(QStringLiteral("noteHeading"));
  noteHeading_->setGeometry(TwipsRect(3840, 120, 4575, 255));
  noteHeading_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  noteHeading_->setFont(HeadingFont());
  noteHeading_->setAutoFillBackground(true);
  SetTextColour(noteHeading_, QColor(255, 255, 255));
  SetBackColour(noteHeading_, QApplication::palette().color(QPalette::Button));
}

void MainWindow::setWide(bool wide) {
  // The frame belongs to the window manager; the client area carries the layout.
  setFixedSize(TwipsToPixels(wide ? kWideClientWidthTwips : kNarrowClientWidthTwips),
               TwipsToPixels(kClientHeightTwips));
}

void MainWindow::start() {
  setWide(false);
  todayDate_ = today_();
  shown_ = {todayDate_.year(), todayDate_.month()};
  showMonth();  // also titles the window with today's full date
  nextMonthButton_->setFocus();
}

bool MainWindow::showMonth() {
  const std::optional<MonthGrid> grid = BuildMonthGrid(shown_.year, shown_.month);
  if (!grid) {
    showMessage(kRejectedMonthMessage);
    return false;
  }
  grid_ = *grid;

  // One pass over the note file finds every day of the month that has a note.
  StoreResult<std::bitset<32>> marked = notes_.MarkedDays(shown_.year, shown_.month);
  if (!marked) {
    showStoreError(marked.error());
    marked = std::bitset<32>();
  }

  const bool todaysMonth = shown_.year == todayDate_.year() && shown_.month == todayDate_.month();
  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = dayCells_[index];
    const int day = grid_.DayOfCell(index);
    cell->setFramed(todaysMonth && day == todayDate_.day());
    cell->setText(QString::number(day));
    cell->setVisible(day != 0);
    setNoteMark(index, day != 0 && marked->test(day));
  }
  setWindowTitle(todaysMonth ? DateText(todayDate_.year(), todayDate_.month(), todayDate_.day())
                             : MonthTitle(shown_.year, shown_.month));
  paintDayColours(grid_);
  return true;
}

void MainWindow::paintDayColours(const MonthGrid& grid) {
  SetTextColour(weekdayHeadings_[0], ToQColor(kSundayColour));
  const std::bitset<kCellCount> holidays = HolidayCells(shown_.month, grid);
  for (int index = 0; index < kCellCount; ++index) {
    SetTextColour(dayCells_[index], ToQColor(holidays.test(index) ? kHolidayColour : ColumnColour(index)));
  }
}

void MainWindow::stepMonth(YearMonth (*step)(YearMonth)) {
  const YearMonth previous = shown_;
  shown_ = step(shown_);
  // A month that cannot be shown leaves the old one on the screen and in shown_.
  if (!showMonth()) shown_ = previous;
}

void MainWindow::showPreviousMonth() { stepMonth(&PreviousMonth); }

void MainWindow::showNextMonth() { stepMonth(&NextMonth); }

void MainWindow::openDay(int cell) {
  openedDay_ = {shown_.year, shown_.month, grid_.DayOfCell(cell)};
  openedCell_ = cell;
  setWide(true);
  noteEdit_->show();
  saveButton_->show();
  closeButton_->show();
  noteHeading_->show();
  noteHeading_->setText(DateText(openedDay_.year, openedDay_.month, openedDay_.day) + QStringLiteral("の予定"));
  noteEdit_->setAccessibleName(noteHeading_->text());
  noteEdit_->clear();

  const StoreResult<std::optional<std::string>> note = notes_.ReadNote(openedDay_);
  if (!note) {
    showStoreError(note.error());
  } else if (*note) {
    noteEdit_->setPlainText(BoxFromNote(**note));
  }
}

void MainWindow::saveOrDeleteNote() {
  const std::string note = NoteFromBox(noteEdit_->toPlainText());
  if (note.empty()) {
    deleteNote();
    return;
  }
  const StoreResult<void> saved = notes_.SaveNote(openedDay_, note);
  if (!saved) {
    showStoreError(saved.error());
    return;
  }
  setOpenedDayMark(true);
}

void MainWindow::deleteNote() {
  const StoreResult<void> deleted = notes_.DeleteNote(openedDay_);
  if (!deleted) {
    showStoreError(deleted.error());
    return;
  }
  setOpenedDayMark(false);
}

void MainWindow::setOpenedDayMark(bool hasNote) {
  // The opened day's cell is on the screen only while its month is shown.
  if (openedDay_.year == shown_.year && openedDay_.month == shown_.month) setNoteMark(openedCell_, hasNote);
}

void MainWindow::setNoteMark(int cell, bool hasNote) {
  DayCell* label = dayCells_[cell];
  QFont font = label->font();
  font.setUnderline(hasNote);
  label->setFont(font);
  // A screen reader hears the full date, and whether the day has a note.
  const int day = grid_.DayOfCell(cell);
  QString name;
  if (day != 0) name = DateText(shown_.year, shown_.month, day) + (hasNote ? QStringLiteral(" 予定あり") : QString());
  label->setAccessibleName(name);
}

void MainWindow::closeNotePanel() {
  setWide(false);
  noteEdit_->hide();
  saveButton_->hide();
  closeButton_->hide();
  noteHeading_->hide();
}

void MainWindow::showMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, this);
  box.exec();
}

void MainWindow::showStoreError(const StoreError& error) { showMessage(QString::fromStdString(error.message)); }

}  // namespace hiduke
