#pragma once

#include <QString>

#include "ical/ical_import.h"
#include "note_store/note_store.h"

namespace hiduke {

// What an iCalendar import will do, before it writes: the days it makes,
// adds to and leaves as they were, and each event it could not read whole.
QString importPlanSummary(const ImportPlan& plan);

// One event the import leaves out, or takes only in part.
QString unreadableEventText(const UnreadableEvent& event);

// What an import wrote.
QString importResult(const BatchReport& report);

}  // namespace hiduke
