#pragma once

#include <cstddef>

namespace hiduke {

// Asks the kernel to back the large buffer at `start` with huge pages, so
// that filling it takes a page fault every 2 MiB instead of every 4 KiB:
// where page faults are dear (virtual machines), they are most of the
// cost of reading a file of a million notes. Smaller buffers are left as
// they are, where the zeroing of a huge page would cost more than it saves.
void adviseHugePages(void* start, std::size_t bytes);

}  // namespace hiduke
