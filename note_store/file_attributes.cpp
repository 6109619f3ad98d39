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

StoreError notCopied(int errorNumber) {
  return StoreError{.kind = StoreErrorKind::kAttributesNotCopied, .errorNumber = errorNumber};
}

// Runs a size query and then the read `get`, again when the value grew in
// between.
template <typename Get>
StoreResult<std::string> readSized(Get get) {
  std::string value;
  for (;;) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) return notCopied(errno);
    value.resize(static_cast<size_t>(size));
    if (size == 0) return value;
    const ssize_t got = get(value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<size_t>(got));
      return value;
    }
    if (errno != ERANGE) return notCopied(errno);
  }
}

// The names of the attributes of `fd`; none on a file system without them.
StoreResult<std::vector<std::string>> listNames(int fd) {
  StoreResult<std::string> list = readSized([fd](char* buffer, size_t size) { return ::flistxattr(fd, buffer, size); });
  if (!list) {
    if (list.error().errorNumber == ENOTSUP) return std::vector<std::string>();
    return std::move(list).error();
  }
  std::vector<std::string> names;
  for (size_t start = 0; start < list->size();) {
    size_t end = list->find('\0', start);
    if (end == std::string::npos) end = list->size();
    if (end != start) names.emplace_back(*list, start, end - start);
    start = end + 1;
  }
  return names;
}

StoreResult<std::string> readValue(int fd, const std::string& name) {
  return readSized([fd, &name](char* buffer, size_t size) { return ::fgetxattr(fd, name.c_str(), buffer, size); });
}

}  // namespace

StoreResult<void> copyExtendedAttributes(int from, int to) {
  StoreResult<std::vector<std::string>> names = listNames(from);
  if (!names) return std::move(names).error();
  StoreResult<std::vector<std::string>> present = listNames(to);
  if (!present) return std::move(present).error();
  for (const std::string& name : *present) {
    const bool onlyOnTo = std::find(names->begin(), names->end(), name) == names->end();
    if (onlyOnTo && ::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA) return notCopied(errno);
  }
  for (const std::string& name : *names) {
    StoreResult<std::string> value = readValue(from, name);
    if (!value) {
      if (value.error().errorNumber == ENODATA) continue;  // removed since it was listed
      return std::move(value).error();
    }
    if (::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) == 0) continue;
    const int error = errno;
    // One the new file was given on creation, with the same value (a
    // security label), needs no setting.
    const StoreResult<std::string> existing = readValue(to, name);
    if (existing && *existing == *value) continue;
    return notCopied(error);
  }
  return {};
}

}  // namespace hiduke
