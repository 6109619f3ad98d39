#pragma once

#include <functional>

#include "note_store/file_identity.h"
#include "note_store/note_content.h"
#include "note_store/note_directory.h"
#include "note_store/store_error.h"

namespace hiduke {

// One change of the note file: the editor that makes it, made afresh for
// each reading of the file, and the check of what the editor found there
// and of the file read (its identity as it was opened; {}: there was
// none), which can refuse the change after the file was read.
struct NoteFileEdit {
  std::function<NoteEditor()> makeEditor;
  std::function<StoreResult<void>(const NoteEditor&, const FileIdentity&)> check;
};

// What a rewrite did.
struct Rewritten {
  FileIdentity file;              // the new file, as it was put in place
  unsigned long otherNames = 0;   // further names (hard links) of the old file, which keep the old content
  int directorySyncError = 0;     // errno of a failed sync of the directory; the new file is in place all the same
};

// Rewrites the note file with `edit`, never leaving a partly written file:
//  - a symbolic link at the note file's name is followed, and its final
//    target replaced;
//  - under the exclusive lock of the target's directory (lockDirectory),
//    the file is read and streamed through the editor to a temporary file
//    beside it (TemporaryFile; a missing file reads as empty), which gets
//    the old file's owner, group, extended attributes (ACLs among them) and
//    permission bits (a new file: 0666 less the umask), is fsynced, renamed
//    over the file, and the directory fsynced;
//  - another program writing the file in place is waited for before the
//    read (InPlaceWriterWatch); if it wrote, or the file was replaced,
//    while the save worked, or in the moment after the new file took the
//    old one's name (the two names are exchanged, and exchanged back), the
//    file is read again, for up to kWriterPatience; without a lease, a file
//    that is `largestRead` in place but shorter is refused (kBeingWritten);
//  - SIGXFSZ is held meanwhile: a write beyond the file size limit fails
//    with EFBIG instead of ending the program.
// On failure the file is unchanged and no temporary file remains. `busy` is
// called about every 20 ms while the rewrite waits for the lock or for
// another program.
StoreResult<Rewritten> rewriteNoteFile(const NoteDirectory& directory, const NoteFileEdit& edit,
                                       const FileIdentity& largestRead, const std::function<void()>& busy);

}  // namespace hiduke
