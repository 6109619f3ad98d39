#include "note_store/line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace hiduke {

namespace {

constexpr std::size_t kMinChunk = 4096;

// read() that retries after a signal.
ssize_t readSome(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// The length of the run of whole lines that `bytes` starts with: up to its
// last LF, or its last CR unless that is its last byte, whose LF may still
// be to come.
std::size_t wholeLines(const char* bytes, std::size_t size) {
  const void* newline = ::memrchr(bytes, '\n', size);
  const std::size_t from = newline == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(newline) - bytes) + 1;
  const std::size_t crEnd = size != 0 && bytes[size - 1] == '\r' ? size - 1 : size;
  const void* cr = crEnd > from ? ::memrchr(bytes + from, '\r', crEnd - from) : nullptr;
  if (cr != nullptr) return static_cast<std::size_t>(static_cast<const char*>(cr) - bytes) + 1;
  return from;
}

}  // namespace

StoreResult<void> readInLines(int fd, off_t sizeHint, std::size_t chunk,
                              const std::function<bool(std::string_view)>& consume) {
  std::size_t capacity = std::clamp(static_cast<std::size_t>(std::max<off_t>(sizeHint, 0)) + 1, kMinChunk, chunk);
  auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  std::size_t filled = 0;
  for (;;) {
    if (filled == capacity) {  // one line longer than the buffer
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(bigger.get(), buffer.get(), filled);
      buffer = std::move(bigger);
      capacity *= 2;
    }
    const ssize_t n = readSome(fd, buffer.get() + filled, capacity - filled);
    if (n < 0) return readFailed(errno);
    if (n == 0) break;
    // A CR held back last time (its LF may have followed) is looked at again.
    const std::size_t scannedFrom = filled == 0 ? 0 : filled - 1;
    filled += static_cast<std::size_t>(n);
    const std::size_t lines = wholeLines(buffer.get() + scannedFrom, filled - scannedFrom);
    if (lines == 0) continue;
    const std::size_t whole = scannedFrom + lines;
    if (!consume(std::string_view(buffer.get(), whole))) return {};
    std::memmove(buffer.get(), buffer.get() + whole, filled - whole);
    filled -= whole;
  }
  if (filled != 0) consume(std::string_view(buffer.get(), filled));
  return {};
}

}  // namespace hiduke
