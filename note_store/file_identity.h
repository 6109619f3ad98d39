#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace hiduke {

// Which file a name stood for and the state it was in: enough to tell,
// without reading it, whether the note file is still the one last read or
// written. A missing file has the identity {} (exists false).
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time
  std::int64_t changedNs = 0;   // status change time: also moves on a write that keeps size and mtime
  std::uint32_t permissions = 0;  // the mode's permission bits
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

inline FileIdentity identityOf(const struct stat& st) {
  const auto nanoseconds = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
  return FileIdentity{.exists = true,
                      .device = st.st_dev,
                      .inode = st.st_ino,
                      .size = st.st_size,
                      .modifiedNs = nanoseconds(st.st_mtim),
                      .changedNs = nanoseconds(st.st_ctim),
                      .permissions = st.st_mode & 07777u};
}

}  // namespace hiduke
