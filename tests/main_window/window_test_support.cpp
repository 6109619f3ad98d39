#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "main_window/day_cell.h"
#include "main_window/design_fonts.h"
#include "main_window/qt_translation.h"

namespace hiduke::testing {

std::unique_ptr<MainWindow> StartedWindow(QDate today) {
  auto window = std::make_unique<MainWindow>([today] { return today; });
  window->start();
  return window;
}

DayCell* Cell(const MainWindow& window, int index) {
  return window.findChild<DayCell*>(QStringLiteral("dayCell%1").arg(index));
}

QPlainTextEdit* NoteEdit(const MainWindow& window) { return window.findChild<QPlainTextEdit*>("noteEdit"); }

QString NoteHeading(const MainWindow& window) { return window.findChild<QLabel*>("noteHeading")->text(); }

void Press(const MainWindow& window, const char* buttonName) {
  window.findChild<QPushButton*>(buttonName)->click();
}

void ClickCell(const MainWindow& window, int index) {
  QTest::mouseClick(Cell(window, index), Qt::LeftButton);
}

QString AnswerDuring(const std::function<void()>& action, const std::function<QString(QMessageBox*)>& answer) {
  auto text = std::make_shared<QString>();
  QTimer::singleShot(0, [text, answer] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *text = box->text();
      if (box->windowTitle() != QApplication::applicationName()) *text += QStringLiteral(" [title]");
      *text += answer(box);
    }
  });
  action();
  QCoreApplication::processEvents();  // lets the timer lapse when no box opened
  return *text;
}

QString MessageDuring(const std::function<void()>& action) {
  return AnswerDuring(action, [](QMessageBox* box) {
    // Anything but a plain box with one OK button is flagged.
    QString flags;
    if (box->icon() != QMessageBox::NoIcon) flags += QStringLiteral(" [icon]");
    if (box->buttons().size() != 1 || box->standardButtons() != QMessageBox::Ok) {
      box->reject();
      return flags + QStringLiteral(" [buttons]");
    }
    box->button(QMessageBox::Ok)->click();
    return flags;
  });
}

QColor TextColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

QList<int> DaysWhere(const MainWindow& window, const std::function<bool(const DayCell*)>& predicate) {
  QList<int> days;
  for (int index = 0; index < kCellCount; ++index) {
    const DayCell* cell = Cell(window, index);
    if (predicate(cell)) days.append(cell->text().toInt());
  }
  return days;
}

bool IsFramed(const DayCell* cell) { return cell->isFramed(); }

int RunWindowTests(QObject& test, int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  InstallQtJapanese(app);
  InstallFontSubstitutes();
  return QTest::qExec(&test, argc, argv);
}

}  // namespace hiduke::testing
