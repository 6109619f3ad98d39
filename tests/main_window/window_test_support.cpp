#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "main_window/day_cell.h"
#include "main_window/design_fonts.h"
#include "main_window/note_box.h"
#include "app/qt_translation.h"
#include "month_model/month_grid.h"

namespace hiduke::testing {

NotesDirectory::NotesDirectory() : previous_(QDir::currentPath()), previousConfig_(qgetenv("XDG_CONFIG_HOME")) {
  if (!directory_.isValid() || !QDir::setCurrent(directory_.path())) throw std::runtime_error("no directory for the notes");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(directory_.filePath(QStringLiteral("config"))));
}

NotesDirectory::~NotesDirectory() {
  QDir::setCurrent(previous_);
  qputenv("XDG_CONFIG_HOME", previousConfig_);
}

void writeNotes(const QByteArray& bytes) {
  QFile file(QStringLiteral("hiduke.dat"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    throw std::runtime_error("cannot write hiduke.dat");
  }
}

QByteArray readNotes() {
  QFile file(QStringLiteral("hiduke.dat"));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

std::unique_ptr<MainWindow> startedWindow(QDate today) {
  return startedWindow([today] { return QDateTime(today, QTime(12, 0)); });
}

std::unique_ptr<MainWindow> startedWindow(std::function<QDateTime()> now) {
  StoreResult<NoteStore> store = NoteStore::open();
  if (!store) throw std::runtime_error("the store of the current directory does not open");
  auto window = std::make_unique<MainWindow>(std::move(*store), std::move(now));
  window->start();
  return window;
}

DayCell* cell(const QObject& window, int index) { return child<DayCell>(window, QStringLiteral("dayCell%1").arg(index)); }

NoteBox* noteBox(const QObject& window) { return child<NoteBox>(window, QStringLiteral("noteEdit")); }

QString noteHeading(const QObject& window) { return child<QLabel>(window, QStringLiteral("noteHeading"))->text(); }

void press(const QObject& window, const char* buttonName) {
  child<QPushButton>(window, QLatin1String(buttonName))->click();
}

void clickCell(const QObject& window, int index) { QTest::mouseClick(cell(window, index), Qt::LeftButton); }

QString answerDuring(const std::function<void()>& action, const std::function<QString(QMessageBox*)>& answer) {
  // The box is looked for until the action ends: it may come after the
  // action has waited a while with the event loop running.
  QString text;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    look.stop();
    text = box->text();
    // Each box is titled by what it is about, which a screen reader says first.
    if (box->windowTitle().isEmpty() || box->windowTitle() == QApplication::applicationName()) {
      text += QStringLiteral(" [title]");
    }
    text += answer(box);
  });
  look.start(1);
  action();
  return text;
}

QString messageDuring(const std::function<void()>& action) {
  return answerDuring(action, [](QMessageBox* box) {
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

QColor textColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

QList<int> daysWhere(const QObject& window, const std::function<bool(const DayCell*)>& predicate) {
  QList<int> days;
  for (int index = 0; index < kCellCount; ++index) {
    const DayCell* found = cell(window, index);
    if (predicate(found)) days.append(found->text().toInt());
  }
  return days;
}

std::chrono::year_month_day toDate(QDate date) {
  return std::chrono::year(date.year()) / std::chrono::month(static_cast<unsigned>(date.month())) /
         std::chrono::day(static_cast<unsigned>(date.day()));
}

int runWindowTests(QObject& test, int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hiduke"));
  installQtJapanese(app);
  installFontSubstitutes();
  return QTest::qExec(&test, argc, argv);
}

}  // namespace hiduke::testing
