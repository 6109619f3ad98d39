#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <functional>
#include <memory>

#include "main_window/main_window.h"

class QMessageBox;
class QPlainTextEdit;

namespace hiduke {
class DayCell;
}

namespace hiduke::testing {

// A started window whose "today" is the given date.
std::unique_ptr<MainWindow> StartedWindow(QDate today);

// The window's parts, found by their object names.
DayCell* Cell(const MainWindow& window, int index);
QPlainTextEdit* NoteEdit(const MainWindow& window);
QString NoteHeading(const MainWindow& window);

// Presses the button with the given object name, or clicks a day cell.
void Press(const MainWindow& window, const char* buttonName);
void ClickCell(const MainWindow& window, int index);

// Runs action; a message box it opens is read and handed to answer, which
// closes it and may return remarks to add. Returns the box's text and the
// remarks, or an empty string when no box opened.
QString AnswerDuring(const std::function<void()>& action, const std::function<QString(QMessageBox*)>& answer);

// Runs action; a message box it opens is read and dismissed with OK.
// Returns the box's text, or an empty string when none opened.
QString MessageDuring(const std::function<void()>& action);

QColor TextColour(const QWidget* widget);

// The days (captions) of the cells that satisfy predicate.
QList<int> DaysWhere(const MainWindow& window, const std::function<bool(const DayCell*)>& predicate);

bool IsFramed(const DayCell* cell);

// The main of a window test: the application as the program sets it up, then
// the test object's slots.
int RunWindowTests(QObject& test, int argc, char* argv[]);

}  // namespace hiduke::testing
