#pragma once

#include <QString>

#include "note_store/conflict_copy_merge.h"

namespace hiduke {

// What the person is told of the conflict copies that sync tools left
// beside the note file: the offer to merge them, and what the merge did.
QString conflictOfferText(const ConflictPlan& plan);
QString conflictMergeSummary(const ConflictMergeReport& report);

}  // namespace hiduke
