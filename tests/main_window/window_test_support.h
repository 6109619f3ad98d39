#pragma once

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>

#include "main_window/main_window.h"

class QMessageBox;

namespace hiduke {
class DayCell;
class NoteBox;
}  // namespace hiduke

namespace hiduke::testing {

// A fresh directory, the current one while the object lives: the note
// file of the windows a test starts is there, and their settings, and gone
// with it.
class NotesDirectory {
 public:
  NotesDirectory();
  ~NotesDirectory();
  NotesDirectory(const NotesDirectory&) = delete;
  NotesDirectory& operator=(const NotesDirectory&) = delete;

 private:
  QTemporaryDir directory_;
  QString previous_;
  QByteArray previousConfig_;
};

// hiduke.dat of the current directory: written whole, and its bytes (or
// "<missing>").
void writeNotes(const QByteArray& bytes);
QByteArray readNotes();

// A started window on the notes of the current directory, whose clock
// reads noon of `today`, or whatever `now` says.
std::unique_ptr<MainWindow> startedWindow(QDate today);
std::unique_ptr<MainWindow> startedWindow(std::function<QDateTime()> now);

// The widget of type T named `name` in `parent`; a test that looks for one
// that is not there fails, naming it.
template <typename T = QWidget>
T* child(const QObject& parent, const QString& name) {
  T* found = parent.findChild<T*>(name);
  if (found == nullptr) throw std::runtime_error("no widget named " + name.toStdString());
  return found;
}

// The window's parts, found by their object names.
DayCell* cell(const QObject& window, int index);
NoteBox* noteBox(const QObject& window);
QString noteHeading(const QObject& window);

// Presses the button with the given object name, or clicks a day cell.
void press(const QObject& window, const char* buttonName);
void clickCell(const QObject& window, int index);

// Runs action; a message box it opens is read and handed to answer, which
// closes it and may return remarks to add. Returns the box's text and the
// remarks, or an empty string when no box opened.
QString answerDuring(const std::function<void()>& action, const std::function<QString(QMessageBox*)>& answer);

// Runs action; a message box it opens is read and dismissed with OK.
// Returns the box's text, or an empty string when none opened.
QString messageDuring(const std::function<void()>& action);

QColor textColour(const QWidget* widget);

// The days (captions) of the cells that satisfy predicate.
QList<int> daysWhere(const QObject& window, const std::function<bool(const DayCell*)>& predicate);

std::chrono::year_month_day toDate(QDate date);

// The main of a window test: the application as the program sets it up, then
// the test object's slots.
int runWindowTests(QObject& test, int argc, char* argv[]);

}  // namespace hiduke::testing
