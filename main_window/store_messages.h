#pragma once

#include <QString>

#include "ical/ical_export.h"
#include "note_store/store_error.h"

namespace hiduke {

// The message that tells the user what went wrong with the note file, and
// whether the note was saved or deleted all the same.
QString storeErrorMessage(const StoreError& error);

// What an iCalendar export wrote, and what it left out.
QString exportSummary(const ExportReport& report);

// A character as the messages name it: itself with its code point
// (「𠮷（U+20BB7）」), or, where it cannot be seen (zero-width, control and
// format characters, unusual spaces), its code point and name:
// 「U+200B（ゼロ幅スペース）」.
QString characterText(const QString& character);

}  // namespace hiduke
