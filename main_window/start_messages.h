#pragma once

#include <QString>

namespace hiduke {

// What the program says before its window opens, or instead of it; each
// text ends in a line break.

// The usage and the version.
QString usageText();
QString versionText();

// An argument that neither hiduke nor Qt takes, followed by the usage.
QString unknownArgumentMessage(const QString& argument);
// An option of hiduke's at the end of the line, without its file name or date.
QString missingFileNameMessage(const QString& option);
// --from or --to without a date it can take, or a range that ends before
// it begins.
QString badDateMessage(const QString& arguments);
// Started in a directory that has been removed.
QString directoryGoneAtStartMessage();
// No display to open the window on.
QString noDisplayMessage();

}  // namespace hiduke
