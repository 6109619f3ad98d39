#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string_view>

#include "note_store/store_error.h"

namespace hiduke {

// Reads `fd` to its end and hands `consume` the bytes in runs of whole lines
// (the last run may end without a terminator), through a buffer of at most
// `chunk` bytes unless a single line is longer; `sizeHint` (the file's size)
// keeps the buffer small for a small file. Stops early when `consume`
// returns false.
StoreResult<void> readInLines(int fd, off_t sizeHint, std::size_t chunk,
                              const std::function<bool(std::string_view)>& consume);

}  // namespace hiduke
