#include "note_store/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace hiduke {

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
constexpr std::size_t kWorthIt = std::size_t{16} << 20;

}  // namespace

void adviseHugePages(void* start, std::size_t bytes) {
  if (bytes < kWorthIt) return;
  // The whole huge pages inside the buffer.
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kHugePage - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace hiduke
