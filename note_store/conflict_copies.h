#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "note_store/file_identity.h"
#include "note_store/store_error.h"

namespace hiduke {

// A copy of the note file that a sync tool left beside it when two
// machines changed the file at once: Syncthing's `NAME.sync-conflict-
// YYYYMMDD-HHMMSS-DEVICE.EXT`, Nextcloud's `NAME (conflicted copy
// YYYY-MM-DD HHMMSS).EXT`, Dropbox's `NAME (PERSON's conflicted copy
// YYYY-MM-DD).EXT` and ownCloud's `NAME_conflict-YYYYMMDD-HHMMSS.EXT`, where
// NAME.EXT is the note file's own name.
struct ConflictCopy {
  std::string name;      // in the note file's directory
  std::int64_t madeNs;   // the time its name holds (local time), else its modification time
  FileIdentity file;     // as it was found
};

// Whether `name` is a conflict copy of the file `noteFileName`; the time
// its name holds (seconds since the epoch, read as local time), if any.
struct ConflictCopyName {
  std::optional<std::int64_t> madeSeconds;
};
std::optional<ConflictCopyName> readConflictCopyName(std::string_view name, std::string_view noteFileName);

// The conflict copies of `noteFileName` in `directory` (regular files
// only), oldest first.
StoreResult<std::vector<ConflictCopy>> findConflictCopies(int directory, const std::string& noteFileName);

// Removes the copies that are still the files found; a copy that changed
// meanwhile stays, to be found again. How many were removed.
StoreResult<std::size_t> removeConflictCopies(int directory, const std::vector<ConflictCopy>& copies);

// The whole content of `name` in `directory`, and the file read ({} when
// there is none: no content).
struct FileContent {
  std::string bytes;
  FileIdentity file;
};
StoreResult<FileContent> readWholeFile(int directory, const std::string& name);

}  // namespace hiduke
