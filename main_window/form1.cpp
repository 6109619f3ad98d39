#include "main_window/form1.h"

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

Form1::Form1(std::function<QDate()> today, QWidget* parent)
    : QWidget(parent), today_(std::move(today)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowIcon(AppIcon());
  setAutoFillBackground(true);
  SetBackColour(this, Qt::black);
  BuildMonthView();
  BuildNotePanel();
  // Focus order with the panel open: Text1, Command1, simeru, cmdTugi, cmdMae.
  setTabOrder(Text1_, Command1_);
  setTabOrder(Command1_, simeru_);
  setTabOrder(simeru_, cmdTugi_);
  setTabOrder(cmdTugi_, cmdMae_);
  SetOuterWidth(true);
}

void Form1::BuildMonthView() {
  static const std::array<const char*, 7> kHeadingCaptions = {"S", "M", "T", "W", "T", "F", "S"};
  for (int column = 0; column < kWeekdays; ++column) {
    auto* heading = new QLabel(QLatin1String(kHeadingCaptions[column]), this);
    heading->setObjectName(QStringLiteral("Label%1").arg(column + 2));
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
    cell->setObjectName(QStringLiteral("hinichi_%1").arg(index));
    cell->setGeometry(TwipsRect(120 + 480 * column, 480 + 360 * row, 375, 375));
    cell->setAlignment(Qt::AlignCenter);
    cell->setFont(CellFont());
    SetBackColour(cell, DesignBackColour(index));
    connect(cell, &DayCell::clicked, this, [this, index] { hinichi_Click(index); });
    hinichi_[index] = cell;
  }

  cmdTugi_ = MakeButton(this, "cmdTugi", QStringLiteral("-->"), TwipsRect(2880, 2760, 495, 375));
  cmdMae_ = MakeButton(this, "cmdMae", QStringLiteral("<--"), TwipsRect(120, 2760, 495, 375));
  cmdTugi_->setAccessibleName(QStringLiteral("次の月"));
  cmdMae_->setAccessibleName(QStringLiteral("前の月"));
  connect(cmdTugi_, &QPushButton::clicked, this, &Form1::cmdTugi_Click);
  connect(cmdMae_, &QPushButton::clicked, this, &Form1::cmdMae_Click);
}

void Form1::BuildNotePanel() {
  Text1_ = new QPlainTextEdit(this);
  Text1_->setObjectName(QStringLiteral("Text1"));
  Text1_->setGeometry(TwipsRect(3600, 480, 4935, 2055));
  Text1_->setTabChangesFocus(true);  // Tab moves on to the buttons, as in any form
  Text1_->setAccessibleName(QStringLiteral("予定"));
  Text1_->hide();

  Command1_ = MakeButton(this, "Command1", QStringLiteral("更新・削除"), TwipsRect(5040, 2760, 975, 375));
  Command1_->hide();
  simeru_ = MakeButton(this, "simeru", QStringLiteral("閉じる"), TwipsRect(6240, 2760, 975, 375));
  simeru_->hide();
  connect(Command1_, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(simeru_, &QPushButton::clicked, this, &Form1::simeru_Click);

  Label1_ = new QLabel(QStringLiteral("Label1"), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setGeometry(TwipsRect(3840, 120, 4575, 255));
  Label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label1_->setFont(HeadingFont());
  Label1_->setAutoFillBackground(true);
  SetTextColour(Label1_, QColor(255, 255, 255));
  SetBackColour(Label1_, QApplication::palette().color(QPalette::Button));
}

void Form1::SetOuterWidth(bool wide) {
  // The frame belongs to the window manager; the client area carries the layout.
  setFixedSize(TwipsToPixels(wide ? kWideClientWidthTwips : kNarrowClientWidthTwips),
               TwipsToPixels(kClientHeightTwips));
}

void Form1::Form_Load() {
  SetOuterWidth(false);
  const QDate today = today_();
  todayYear_ = today.year();
  todayMonth_ = today.month();
  todayDay_ = today.day();
  shownYear_ = todayYear_;
  shownMonth_ = todayMonth_;
  ShowMonth();  // also titles the window with today's full date
  cmdTugi_->setFocus();
}

bool Form1::ShowMonth() {
  const std::optional<MonthGrid> grid = BuildMonthGrid(shownYear_, shownMonth_);
  if (!grid) {
    ShowMessage(kRejectedMonthMessage);
    return false;
  }

  // One pass over the note file finds every day of the month that has a note.
  StoreResult<std::bitset<32>> marked = notes_.MarkedDays(shownYear_, shownMonth_);
  if (!marked) {
    ShowStoreError(marked.error());
    marked = std::bitset<32>();
  }

  for (int index = 0; index < kCellCount; ++index) {
    DayCell* cell = hinichi_[index];
    const int day = grid->DayOfCell(index);
    cell->setFramed(false);
    cell->setText(QString::number(day));
    cell->setVisible(day != 0);
    SetNoteMark(index, day != 0 && marked->test(day));
  }

  if (shownYear_ == todayYear_ && shownMonth_ == todayMonth_) {
    for (int index = 0; index < kCellCount; ++index) {
      if (grid->DayOfCell(index) == todayDay_) hinichi_[index]->setFramed(true);
    }
    setWindowTitle(DateText(todayYear_, todayMonth_, todayDay_));
  } else {
    setWindowTitle(MonthTitle(shownYear_, shownMonth_));
  }

  PaintDayColours(*grid);
  return true;
}

void Form1::PaintDayColours(const MonthGrid& grid) {
  SetTextColour(weekdayHeadings_[0], ToQColor(kSundayColour));
  const std::bitset<kCellCount> holidays = HolidayCells(shownMonth_, grid);
  for (int index = 0; index < kCellCount; ++index) {
    SetTextColour(hinichi_[index], ToQColor(holidays.test(index) ? kHolidayColour : ColumnColour(index)));
  }
}

void Form1::StepMonth(YearMonth (*step)(YearMonth)) {
  const YearMonth shown{shownYear_, shownMonth_};
  const YearMonth next = step(shown);
  shownYear_ = next.year;
  shownMonth_ = next.month;
  if (!ShowMonth()) {
    // The view still shows the old month; keep the fields naming it.
    shownYear_ = shown.year;
    shownMonth_ = shown.month;
  }
}

void Form1::cmdMae_Click() { StepMonth(&PreviousMonth); }

void Form1::cmdTugi_Click() { StepMonth(&NextMonth); }

void Form1::hinichi_Click(int index) {
  selYear_ = shownYear_;
  selMonth_ = shownMonth_;
  selDay_ = hinichi_[index]->text().toInt();
  selIndex_ = index;
  SetOuterWidth(true);
  Text1_->show();
  Command1_->show();
  simeru_->show();
  Label1_->show();
  Label1_->setText(DateText(selYear_, selMonth_, selDay_) + QStringLiteral("の予定"));
  Text1_->setAccessibleName(Label1_->text());
  Text1_->clear();

  const StoreResult<std::optional<std::string>> note = notes_.ReadNote({selYear_, selMonth_, selDay_});
  if (!note) {
    ShowStoreError(note.error());
  } else if (*note) {
    Text1_->setPlainText(BoxFromNote(**note));
  }
}

void Form1::Command1_Click() {
  const std::string note = NoteFromBox(Text1_->toPlainText());
  if (note.empty()) {
    DeleteNote();
    return;
  }
  const StoreResult<void> saved = notes_.SaveNote({selYear_, selMonth_, selDay_}, note);
  if (!saved) {
    ShowStoreError(saved.error());
    return;
  }
  SetSelectedUnderline(true);
}

void Form1::DeleteNote() {
  const StoreResult<void> deleted = notes_.DeleteNote({selYear_, selMonth_, selDay_});
  if (!deleted) {
    ShowStoreError(deleted.error());
    return;
  }
  SetSelectedUnderline(false);
}

void Form1::SetSelectedUnderline(bool underlined) {
  // The selected date's cell is on the screen only while its month is shown.
  if (selYear_ == shownYear_ && selMonth_ == shownMonth_) SetNoteMark(selIndex_, underlined);
}

void Form1::SetNoteMark(int index, bool hasNote) {
  DayCell* cell = hinichi_[index];
  QFont font = cell->font();
  font.setUnderline(hasNote);
  cell->setFont(font);
  // A screen reader hears the full date, and whether the day has a note.
  const int day = cell->text().toInt();
  QString name;
  if (day != 0) name = DateText(shownYear_, shownMonth_, day) + (hasNote ? QStringLiteral(" 予定あり") : QString());
  cell->setAccessibleName(name);
}

void Form1::simeru_Click() {
  SetOuterWidth(false);
  Text1_->hide();
  Command1_->hide();
  simeru_->hide();
  Label1_->hide();
}

void Form1::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, this);
  box.exec();
}

void Form1::ShowStoreError(const StoreError& error) { ShowMessage(QString::fromStdString(error.message)); }

}  // namespace hiduke
