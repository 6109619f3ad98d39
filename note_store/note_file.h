#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "note_store/note_content.h"
#include "note_store/store_error.h"

namespace hiduke {

// Access to the note file on disk. Readers never lock: a rewrite replaces
// the file in one rename, so a reader sees either the old or the new file.

// Symbolic links, at `path` and wherever one leads, are followed only where
// the kernel would follow them in a shared directory: in a directory that is
// sticky and writable by everyone, only a link of the user's own or of the
// directory's owner. Any other link stops a scan or rewrite with kUnsafeLink,
// so a link planted by another user in a /tmp-like directory can make the
// program neither read nor change the file it points to.

// Reads the file at `path` from its first byte to its end and hands the
// bytes to `consume` in runs of whole lines (the last run may end without a
// terminator). A missing file is an empty store: `consume` is not called.
StoreResult<void> ScanNoteFile(const std::string& path,
                               const std::function<void(std::string_view)>& consume);

// Rewrites the file at `path` with `editor` (a save or delete of one date),
// never leaving a partly written file:
//  - a symbolic link at `path` is followed, and its final target replaced;
//  - under an exclusive flock on the target's directory (waited for up to
//    10 s, calling `lock_waiting`, when set, about every 20 ms meanwhile),
//    the file is read again and streamed through the editor to a temporary
//    file in that directory (a missing file reads as empty). The temporary
//    has one fixed name per note file; one left by an interrupted rewrite is
//    removed first, and where that entry is another user's that cannot be
//    removed (a sticky directory) a random name beside it is used. It gets
//    the old file's owner, group, extended attributes (ACLs among them) and
//    permission bits (a new file: 0666 less the umask), is fsynced, renamed
//    over the file, and the directory fsynced;
//  - SIGXFSZ is held meanwhile: a write beyond the file size limit fails
//    with EFBIG instead of ending the program.
// On failure the file is unchanged and no temporary file remains; the error
// names `path` and `operation`. A failed directory sync comes back as the
// report's kNotDurable warning: the new file is in place by then.
// `lock_waiting` is taken by value: the caller's hook may be replaced, even
// from within itself, while the rewrite still calls this copy.
StoreResult<SaveReport> RewriteNoteFile(const std::string& path, NoteEditor editor, StoreOperation operation,
                                        std::function<void()> lock_waiting);

}  // namespace hiduke
