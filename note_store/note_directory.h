#pragma once

#include <sys/stat.h>

#include <string>

#include "note_store/file_identity.h"
#include "note_store/store_error.h"
#include "note_store/unique_fd.h"

namespace hiduke {

// The file a name finally stands for: its directory, open, and its name
// there. It may not exist yet.
struct LocatedFile {
  UniqueFd directory;
  std::string name;
};

// A file opened for reading, with what fstat said of it; no descriptor when
// the file does not exist.
struct OpenedFile {
  UniqueFd fd;
  struct stat status {};
};

// The directory that holds the note file, opened once and held: every
// operation on the file is made relative to it, so the notes stay with the
// directory when it is renamed, and a directory made later under the old
// name is never used.
//
// Symbolic links, at the note file's name and wherever one leads, are
// followed only where the kernel would follow them in a shared directory:
// in a directory that is sticky and writable by everyone, only a link of the
// user's own or of the directory's owner. Any other link stops with
// kUnsafeLink, so a link planted by another user in a /tmp-like directory
// can make the program neither read nor change the file it points to.
class NoteDirectory {
 public:
  // The directory of `filePath` (the current directory for a bare name).
  // Fails with kDirectoryGone when that directory has been removed.
  static StoreResult<NoteDirectory> open(const std::string& filePath);

  // The note file's full path as it was when the directory was opened, for
  // messages.
  const std::string& displayPath() const { return displayPath_; }

  // kDirectoryGone once the directory has been removed.
  StoreResult<void> checkPresent() const;

  // Follows symbolic links at the note file's name to the file they finally
  // name; `ioKind` is the kind of a failure that is not a refused link.
  StoreResult<LocatedFile> locate(StoreErrorKind ioKind) const;

  // Opens the note file for reading, following links as locate() does. A
  // missing file is no failure: the result then has no descriptor.
  StoreResult<OpenedFile> openForReading() const;

  // The identity of the file the name stands for now (links followed), or
  // {} when there is none; stat only, the file is not opened.
  FileIdentity identity() const;

 private:
  NoteDirectory(UniqueFd fd, std::string fileName, std::string displayPath)
      : fd_(std::move(fd)), fileName_(std::move(fileName)), displayPath_(std::move(displayPath)) {}

  UniqueFd fd_;
  std::string fileName_;
  std::string displayPath_;
};

// Opens `name` in `directory` for reading without following a link there.
StoreResult<OpenedFile> openFileForReading(int directory, const std::string& name);

}  // namespace hiduke
