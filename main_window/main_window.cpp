#include "main_window/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "main_window/app_icon.h"
#include "main_window/day_accessibility.h"
#include "main_window/day_cell.h"
#include "main_window/day_grid.h"
#include "main_window/design_fonts.h"
#include "main_window/holiday_names.h"
#include "main_window/note_box_text.h"
#include "main_window/store_messages.h"
#include "main_window/twips.h"
#include "month_model/colour_contrast.h"
#include "month_model/japanese_holidays.h"
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

QColor ToQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }
Rgb ToRgb(const QColor& colour) { return {colour.red(), colour.green(), colour.blue()}; }

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
  button->setAutoDefault(true);  // Return presses the focused button, as Space does
  return button;
}

// The note file in the directory the program was started from, named with
// its full path in every message.
std::string NoteFilePath() {
  return QFile::encodeName(QDir::current().absoluteFilePath(QStringLiteral("hiduke.dat"))).toStdString();
}

}  // namespace

MainWindow::MainWindow(std::function<QDate()> today, QWidget* parent)
    : QWidget(parent), today_(std::move(today)), notes_(NoteFilePath()) {
  static const bool accessibilityInstalled = (InstallDayAccessibility(), true);
  (void)accessibilityInstalled;
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(AppIcon());
  setAutoFillBackground(true);
  SetBackColour(this, Qt::black);
  buildMonthView();
  buildNotePanel();
  buildShortcuts();
  watchNoteFile();
  // Focus order: the note box, save, close, next month, previous month, the days.
  setTabOrder(noteEdit_, saveButton_);
  setTabOrder(saveButton_, closeButton_);
  setTabOrder(closeButton_, nextMonthButton_);
  setTabOrder(nextMonthButton_, previousMonthButton_);
  setTabOrder(previousMonthButton_, dayGrid_);
  // The focus mark of the buttons is drawn on the window around them.
  connect(qApp, &QApplication::focusChanged, this, [this] { update(); });
  setWide(true);
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
  connect(closeButton_, &QPushButton::clicked, this, &MainWindow::requestClosePanel);

  noteHeading_ = new QLabel(this);
  noteHeading_->setObjectName(QStringLiteral("noteHeading"));
  noteHeading_->setGeometry(TwipsRect(3840, 120, 4575, 255));
  noteHeading_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  noteHeading_->setFont(HeadingFont());
  noteHeading_->setAutoFillBackground(true);
  // The heading's white text on the button face, darkened as far as the
  // face needs for it to be read.
  const QColor face = QApplication::palette().color(QPalette::Button);
  SetTextColour(noteHeading_, ToQColor(LegibleTextColour(kWeekdayColour, ToRgb(face))));
  SetBackColour(noteHeading_, face);
  noteHeading_->hide();  // outside the narrow window, and nothing to say until a day is opened
}

void MainWindow::buildShortcuts() {
  auto* save = new QShortcut(QKeySequence::Save, this);
  connect(save, &QShortcut::activated, this, [this] {
    if (isPanelOpen()) saveOrDeleteNote();
  });
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, [this] {
    if (isPanelOpen()) requestClosePanel();
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
  const auto settle = [this] { noteFileSettled_->start(); };
  connect(noteFileWatcher_, &QFileSystemWatcher::fileChanged, this, settle);
  connect(noteFileWatcher_, &QFileSystemWatcher::directoryChanged, this, settle);
  connect(noteFileSettled_, &QTimer::timeout, this, &MainWindow::noteFileChanged);
}

void MainWindow::noteFileChanged() {
  // A replaced file is a new file to watch.
  const QString path = QFile::decodeName(QByteArray::fromStdString(notes_.path()));
  if (!noteFileWatcher_->files().contains(path)) noteFileWatcher_->addPath(path);
  // Errors wait for the next thing the user does; nothing pops up unasked.
  const StoreResult<std::bitset<32>> marked = notes_.MarkedDays(shown_.year, shown_.month);
  if (marked && *marked != markedDays_) {
    markedDays_ = *marked;
    for (int index = 0; index < kCellCount; ++index) {
      const int day = grid_.DayOfCell(index);
      setNoteMark(index, day != 0 && markedDays_.test(day));
    }
  }
  // An open note the user has not touched follows the file as well.
  if (isPanelOpen() && !hasUnsavedNote()) {
    const StoreResult<std::optional<std::string>> onDisk = notes_.ReadNote(openedDay_);
    if (onDisk && *onDisk != openedNote_) loadOpenedNote();
  }
}

void MainWindow::setWide(bool wide) {
  // The frame belongs to the window manager; the client area carries the layout.
  setFixedSize(TwipsToPixels(wide ? kWideClientWidthTwips : kNarrowClientWidthTwips),
               TwipsToPixels(kClientHeightTwips));
}

bool MainWindow::isPanelOpen() const { return noteEdit_->isVisibleTo(this); }

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
  holidays_ = HolidaysOf(shown_.year, shown_.month);

  // One pass over the note file finds every day of the month that has a note.
  StoreResult<std::bitset<32>> marked = notes_.MarkedDays(shown_.year, shown_.month);
  if (!marked) showStoreError(marked.error());
  markedDays_ = marked ? *marked : std::bitset<32>();

  const bool todaysMonth = shown_.year == todayDate_.year() && shown_.month == todayDate_.month();
  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = dayCells_[index];
    const int day = grid_.DayOfCell(index);
    cell->setFramed(todaysMonth && day == todayDate_.day());
    cell->setText(QString::number(day));
    cell->setVisible(day != 0);
    setNoteMark(index, day != 0 && markedDays_.test(day));
  }
  setWindowTitle(todaysMonth ? DateText(todayDate_.year(), todayDate_.month(), todayDate_.day())
                             : MonthTitle(shown_.year, shown_.month));
  dayGrid_->setAccessibleName(MonthTitle(shown_.year, shown_.month));
  paintDayColours();
  markFocusedDay();
  return true;
}

bool MainWindow::goToMonth(YearMonth month) {
  const YearMonth previous = shown_;
  shown_ = month;
  if (showMonth()) return true;
  shown_ = previous;  // the view still shows it
  return false;
}

void MainWindow::paintDayColours() {
  SetTextColour(weekdayHeadings_[0], ToQColor(kSundayColour));
  for (int index = 0; index < kCellCount; ++index) {
    const bool holiday = holidays_[grid_.DayOfCell(index)].has_value();
    SetTextColour(dayCells_[index], ToQColor(holiday ? kHolidayColour : ColumnColour(index)));
  }
}

void MainWindow::showPreviousMonth() {
  if (goToMonth(PreviousMonth(shown_))) focusedDay_ = 0;
}

void MainWindow::showNextMonth() {
  if (goToMonth(NextMonth(shown_))) focusedDay_ = 0;
}

void MainWindow::focusGrid() {
  if (focusedDay_ == 0) {
    const bool todaysMonth = shown_.year == todayDate_.year() && shown_.month == todayDate_.month();
    focusedDay_ = todaysMonth ? todayDate_.day() : 1;
  }
  markFocusedDay();
}

void MainWindow::moveFocusBy(int days) {
  if (focusedDay_ == 0) focusGrid();
  const QDate target = QDate(shown_.year, shown_.month, focusedDay_).addDays(days);
  if (target.year() != shown_.year || target.month() != shown_.month) {
    if (!goToMonth({target.year(), target.month()})) return;
  }
  focusedDay_ = target.day();
  markFocusedDay();
}

void MainWindow::stepMonthsBy(int months) {
  const YearMonth month = months < 0 ? PreviousMonth(shown_) : NextMonth(shown_);
  if (!goToMonth(month)) return;
  if (focusedDay_ != 0) focusedDay_ = std::min(focusedDay_, DaysInMonth(shown_.year, shown_.month));
  markFocusedDay();
}

void MainWindow::goToToday() {
  if (!goToMonth({todayDate_.year(), todayDate_.month()})) return;
  focusedDay_ = todayDate_.day();
  markFocusedDay();
}

void MainWindow::markFocusedDay() {
  const int focusedCell = dayGrid_->hasFocus() ? cellOfDay(focusedDay_) : -1;
  for (int index = 0; index < kCellCount; ++index) dayCells_[index]->setFocusMarked(index == focusedCell);
}

int MainWindow::cellOfDay(int day) const {
  for (int index = 0; index < kCellCount; ++index) {
    if (day != 0 && grid_.DayOfCell(index) == day) return index;
  }
  return -1;
}

void MainWindow::openDay(int cell) {
  if (!settleUnsavedNote()) return;
  openedDay_ = {shown_.year, shown_.month, grid_.DayOfCell(cell)};
  openedCell_ = cell;
  setWide(true);
  noteEdit_->show();
  saveButton_->show();
  closeButton_->show();
  noteHeading_->show();
  noteHeading_->setText(DateText(openedDay_.year, openedDay_.month, openedDay_.day) + QStringLiteral("の予定"));
  noteEdit_->setAccessibleName(noteHeading_->text());
  loadOpenedNote();
  noteEdit_->setFocus();  // typing right away goes into the note
}

void MainWindow::loadOpenedNote() {
  noteEdit_->clear();
  openedNote_.reset();
  const StoreResult<std::optional<std::string>> note = notes_.ReadNote(openedDay_);
  if (!note) {
    showStoreError(note.error());
  } else {
    openedNote_ = *note;
    if (*note) SetNoteBoxText(noteEdit_, QString::fromStdString(**note));
  }
  openedText_ = NoteBoxText(noteEdit_);
}

void MainWindow::saveOrDeleteNote() {
  if (!confirmOverwrite()) return;
  storeNote(NoteBoxText(noteEdit_).toStdString());
}

bool MainWindow::storeNote(const std::string& note) {
  // An empty box deletes the note; anything else, spaces alone too, is saved.
  const bool hasNote = !note.empty();
  const StoreResult<SaveReport> stored = hasNote ? notes_.SaveNote(openedDay_, note) : notes_.DeleteNote(openedDay_);
  if (!stored) {
    showStoreError(stored.error());
    return false;
  }
  noteStored(hasNote, *stored);
  return true;
}

void MainWindow::noteStored(bool hasNote, const SaveReport& report) {
  // The note as the file now holds it (look-alikes stored as what code page
  // 932 has), against which a later change by another program is found.
  const StoreResult<std::optional<std::string>> stored = notes_.ReadNote(openedDay_);
  if (stored) openedNote_ = *stored;
  openedText_ = NoteBoxText(noteEdit_);
  // The opened day's cell is on the screen only while its month is shown.
  if (openedDay_.year == shown_.year && openedDay_.month == shown_.month) {
    markedDays_.set(openedDay_.day, hasNote);
    setNoteMark(openedCell_, hasNote);
  }
  // Screen readers hear that the note was stored.
  noteEdit_->setAccessibleDescription(hasNote ? QStringLiteral("保存しました") : QStringLiteral("削除しました"));
  if (report.warning) showStoreError(*report.warning);
}

bool MainWindow::confirmOverwrite() {
  const StoreResult<std::optional<std::string>> onDisk = notes_.ReadNote(openedDay_);
  if (!onDisk || *onDisk == openedNote_) return true;  // a read error shows at the save
  QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                  noteHeading_->text() + QStringLiteral("は、開いた後にほかのところで変更されています。"),
                  QMessageBox::NoButton, this);
  QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
  QPushButton* reload = box.addButton(QStringLiteral("読み込み直す"), QMessageBox::ResetRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == overwrite) return true;
  if (box.clickedButton() == reload) loadOpenedNote();
  return false;
}

bool MainWindow::hasUnsavedNote() const { return isPanelOpen() && NoteBoxText(noteEdit_) != openedText_; }

bool MainWindow::settleUnsavedNote() {
  if (!hasUnsavedNote()) return true;
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  noteHeading_->text() + QStringLiteral("は変更されています。保存しますか？"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return confirmOverwrite() && storeNote(NoteBoxText(noteEdit_).toStdString());
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

void MainWindow::requestClosePanel() {
  if (settleUnsavedNote()) closeNotePanel();
}

void MainWindow::closeNotePanel() {
  // The keyboard goes back to the days, on the day that was open.
  const QWidget* focus = focusWidget();
  if (focus == noteEdit_ || focus == saveButton_ || focus == closeButton_) {
    if (openedDay_.year == shown_.year && openedDay_.month == shown_.month) focusedDay_ = openedDay_.day;
    dayGrid_->setFocus();
  }
  setWide(false);
  noteEdit_->hide();
  saveButton_->hide();
  closeButton_->hide();
  noteHeading_->hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (settleUnsavedNote()) {
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
  if (button == nullptr || !button->isVisible()) return;
  QPainter painter(this);
  QPen pen(palette().color(QPalette::Highlight), 2);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(QRectF(button->geometry()).adjusted(-2, -2, 2, 2));
}

void MainWindow::setNoteMark(int cell, bool hasNote) {
  DayCell* label = dayCells_[cell];
  QFont font = label->font();
  font.setUnderline(hasNote);
  label->setFont(font);
  nameDayCell(cell);
}

void MainWindow::nameDayCell(int cell) {
  // A screen reader hears the full date, then today, the holiday and
  // whether the day has a note. Hidden cells have no name.
  const int day = grid_.DayOfCell(cell);
  QString name;
  if (day != 0) {
    QStringList about;
    if (dayCells_[cell]->isFramed()) about << QStringLiteral("今日");
    if (holidays_[day]) about << HolidayName(*holidays_[day]);
    if (markedDays_.test(day)) about << QStringLiteral("予定あり");
    name = DateText(shown_.year, shown_.month, day);
    if (!about.isEmpty()) name += QLatin1Char(' ') + about.join(QStringLiteral(", "));
  }
  dayCells_[cell]->setAccessibleName(name);
}

void MainWindow::showMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, this);
  box.exec();
}

void MainWindow::showStoreError(const StoreError& error) { showMessage(StoreErrorMessage(error)); }

}  // namespace hiduke
