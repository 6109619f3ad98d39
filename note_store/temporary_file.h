#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>

#include "note_store/store_error.h"
#include "note_store/unique_fd.h"

namespace hiduke {

// The new note file while it is written: a file beside the note file,
// closed and removed again unless it is renamed into place.
class TemporaryFile {
 public:
  // Creates the temporary of the note file `noteName` in `directory`, whose
  // lock the caller holds since `lockedAt`. The name `.hiduke.dat.tmp`
  // (for hiduke.dat) is the one rewrite of the note file's own, so an entry
  // of that name is what an interrupted rewrite left: it is removed (a link
  // as the link, never followed) and the file created anew. In a sticky
  // directory the entry may be another user's, which cannot be removed:
  // then a random name beside it is taken, and the program's own leftovers
  // of that pattern (the user's, from before the lock) are removed.
  static StoreResult<TemporaryFile> create(int directory, const std::string& noteName, mode_t mode,
                                           std::chrono::system_clock::time_point lockedAt);

  TemporaryFile(TemporaryFile&& other) noexcept
      : directory_(other.directory_), name_(std::exchange(other.name_, {})), fd_(std::move(other.fd_)) {}
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  TemporaryFile(const TemporaryFile&) = delete;
  ~TemporaryFile();

  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }

  // Makes the content durable and closes the file, reporting a failure that
  // only close detects (for example a delayed write error).
  StoreResult<void> commit();

  // After a successful rename: the name now belongs to the note file.
  void keep() { name_.clear(); }

 private:
  TemporaryFile(int directory, std::string name, int fd) : directory_(directory), name_(std::move(name)), fd_(fd) {}

  int directory_;
  std::string name_;
  UniqueFd fd_;
};

}  // namespace hiduke
