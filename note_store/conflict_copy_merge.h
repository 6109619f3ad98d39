#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "note_store/conflict_copies.h"
#include "note_store/conflict_merge.h"
#include "note_store/note_store.h"

namespace hiduke {

// Bringing the conflict copies that sync tools left beside the note file
// back into it (conflict_copies.h, conflict_merge.h).

// What a merge would do now.
struct ConflictPlan {
  std::vector<ConflictCopy> copies;  // oldest first; none: nothing to do
  ConflictMerge merge;
  FileIdentity file;  // the note file the plan was worked out from
};
StoreResult<ConflictPlan> planConflictMerge(const NoteStore& store);

// What a merge did.
struct ConflictMergeReport {
  ConflictPlan plan;     // the plan it carried out
  std::size_t removed = 0;  // copies removed
  FileIdentity file;        // the note file after the merge
  std::vector<StoreError> warnings;  // the rewrite's
};

// Makes the plan's changes in one rewrite of the note file (saveNotes), and
// only once that succeeded removes the copies, so that the sync tool
// removes them on the other machines too. A file changed since the plan was
// made is planned again, once.
StoreResult<ConflictMergeReport> mergeConflictCopies(NoteStore& store);

}  // namespace hiduke
