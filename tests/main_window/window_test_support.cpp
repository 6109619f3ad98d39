#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "main_window/day_cell.h"
#include "main_window/design_fonts.h"

namespace hiduke::testing {

std::unique_ptr<Form1> LoadedWindow(QDate today) {
  auto window = std::make_unique<Form1>([today] { return today; });
  window->Form_Load();
  return window;
}

QString MessageDuring(const std::function<void()>& action) {
  auto text = std::make_shared<QString>();
  QTimer::singleShot(0, [text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *text = box->text();
      // Anything but a plain box with one OK button and the program's name is flagged.
      if (box->icon() != QMessageBox::NoIcon) *text += QStringLiteral(" [icon]");
      if (box->buttons().size() != 1 || box->standardButtons() != QMessageBox::Ok) *text += QStringLiteral(" [buttons]");
      if (box->windowTitle() != QApplication::applicationName()) *text += QStringLiteral(" [title]");
      box->button(QMessageBox::Ok)->click();
    }
  });
  action();
  QCoreApplication::processEvents();  // lets the timer lapse when no box opened
  return *text;
}

QColor TextColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

QList<int> DaysWhere(const Form1& window, const std::function<bool(const DayCell*)>& predicate) {
  QList<int> days;
  for (int index = 0; index < kCellCount; ++index) {
    const DayCell* cell = window.hinichi(index);
    if (predicate(cell)) days.append(cell->text().toInt());
  }
  return days;
}

bool IsFramed(const DayCell* cell) { return cell->isFramed() && cell->autoFillBackground(); }

int RunWindowTests(QObject& test, int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  InstallFontSubstitutes();
  return QTest::qExec(&test, argc, argv);
}

}  // namespace hiduke::testing
