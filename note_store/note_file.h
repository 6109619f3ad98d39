#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "note_store/note_content.h"
#include "note_store/store_error.h"

namespace hiduke {

// Access to the note file on disk. Readers never lock: a rewrite replaces
// the file in one rename, so a reader sees either the old or the new file.

// Reads the file at `path` from its first byte to its end and hands the
// bytes to `consume` in runs of whole lines (the last run may end without a
// terminator). A missing file is an empty store: `consume` is not called.
// A symbolic link is followed.
StoreResult<void> ScanNoteFile(const std::string& path,
                               const std::function<void(std::string_view)>& consume);

// Rewrites the file at `path` with `editor` (a save or delete of one date),
// never leaving a partly written file:
//  - a symbolic link at `path` is followed, and its final target replaced;
//  - under an exclusive flock on the target's directory, the file is read
//    again and streamed through the editor to a temporary file in that
//    directory (a missing file reads as empty), which gets the old file's
//    owner and permission bits (a new file: 0666 less the umask), is
//    fsynced, renamed over the file, and the directory fsynced;
//  - temporary files left by an earlier, interrupted rewrite are removed.
// On failure the file is unchanged and no temporary file remains; the error
// names `path` and `operation`. A failed directory sync comes back as the
// report's kNotDurable warning: the new file is in place by then.
StoreResult<SaveReport> RewriteNoteFile(const std::string& path, NoteEditor editor, StoreOperation operation);

// Whether `entry` is the name of a temporary file that a rewrite of the file
// named `file_name` creates in its directory.
bool IsRewriteTemporary(std::string_view entry, std::string_view file_name);

}  // namespace hiduke
