#include "note_store/file_attributes.h"

#include <sys/types.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace hiduke {

namespace {

// Runs a size query and then the read `get` into `out`, again when the
// value grew in between. Returns 0 or the errno.
template <typename Get>
int ReadSized(Get get, std::string* out) {
  for (;;) {
    ssize_t size = get(nullptr, 0);
    if (size < 0) return errno;
    out->resize(static_cast<size_t>(size));
    if (size == 0) return 0;
    ssize_t got = get(out->data(), out->size());
    if (got >= 0) {
      out->resize(static_cast<size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;
  }
}

// The names of the attributes of `fd`; none on a file system without them.
int ListNames(int fd, std::vector<std::string>* names) {
  std::string list;
  int error = ReadSized([fd](char* buffer, size_t size) { return ::flistxattr(fd, buffer, size); }, &list);
  if (error == ENOTSUP) return 0;
  if (error != 0) return error;
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find('\0', start);
    if (end == std::string::npos) end = list.size();
    if (end != start) names->emplace_back(list, start, end - start);
    start = end + 1;
  }
  return 0;
}

int ReadValue(int fd, const std::string& name, std::string* value) {
  return ReadSized(
      [fd, &name](char* buffer, size_t size) { return ::fgetxattr(fd, name.c_str(), buffer, size); }, value);
}

}  // namespace

int CopyExtendedAttributes(int from, int to) {
  std::vector<std::string> names;
  std::vector<std::string> present;
  if (int error = ListNames(from, &names); error != 0) return error;
  if (int error = ListNames(to, &present); error != 0) return error;
  for (const std::string& name : present) {
    const bool only_on_to = std::find(names.begin(), names.end(), name) == names.end();
    if (only_on_to && ::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA) return errno;
  }
  std::string value;
  std::string existing;
  for (const std::string& name : names) {
    int error = ReadValue(from, name, &value);
    if (error == ENODATA) continue;  // removed since it was listed
    if (error != 0) return error;
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) continue;
    error = errno;
    // One the new file was given on creation, with the same value (a
    // security label), needs no setting.
    if (ReadValue(to, name, &existing) == 0 && existing == value) continue;
    return error;
  }
  return 0;
}

}  // namespace hiduke
