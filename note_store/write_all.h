#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace hiduke {

// Writes all of `data` to `fd`, across short writes and interruptions:
// 0, or the errno of the write that failed (EIO for one that wrote nothing).
inline int writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace hiduke
