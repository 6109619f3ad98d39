#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <functional>
#include <memory>

#include "main_window/form1.h"

namespace hiduke::testing {

// A loaded window whose "today" is the given date.
std::unique_ptr<Form1> LoadedWindow(QDate today);

// Runs action; a message box it opens is read and dismissed with OK.
// Returns the box's text, or an empty string when none opened.
QString MessageDuring(const std::function<void()>& action);

QColor TextColour(const QWidget* widget);

// The days (captions) of the cells that satisfy predicate.
QList<int> DaysWhere(const Form1& window, const std::function<bool(const class DayCell*)>& predicate);

bool IsFramed(const DayCell* cell);

// The main of a window test: the application as the program sets it up, then
// the test object's slots.
int RunWindowTests(QObject& test, int argc, char* argv[]);

}  // namespace hiduke::testing
