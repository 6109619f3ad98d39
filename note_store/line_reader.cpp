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
    const std::size_t scannedFrom = filled;
    filled += static_cast<std::size_t>(n);
    const void* lastNewline = ::memrchr(buffer.get() + scannedFrom, '\n', filled - scannedFrom);
    if (lastNewline == nullptr) continue;
    const std::size_t whole = static_cast<std::size_t>(static_cast<const char*>(lastNewline) - buffer.get()) + 1;
    if (!consume(std::string_view(buffer.get(), whole))) return {};
    std::memmove(buffer.get(), buffer.get() + whole, filled - whole);
    filled -= whole;
  }
  if (filled != 0) consume(std::string_view(buffer.get(), filled));
  return {};
}

}  // namespace hiduke
