#pragma once

#include <QString>

#include "ical/ical_import.h"
#include "note_store/note_store.h"

namespace hiduke {

// What an iCalendar import will do, before it writes: the days it makes,
// adds to and leaves as they were, and each event it could not read whole.
QString importPlanSummary(const ImportPlan& plan);

// One event the import leaves out, or takes only in part: its date and
// summary, then what keeps it out or what of it is left out.
QString unreadableEventText(const UnreadableEvent& event);
QString eventLeftOutText(const UnreadableEvent& event);

// What an import wrote.
QString importResult(const BatchReport& report);
// The same in the window, said to a screen reader as it is shown:
// 「N日分の予定を読み込みました」, and the events it could not read whole.
QString importAnnouncement(const BatchReport& report);
QString importSummary(const BatchReport& report, const ImportPlan& plan);

}  // namespace hiduke
