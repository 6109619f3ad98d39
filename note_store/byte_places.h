#pragma once

#include <functional>
#include <string_view>

namespace hiduke {

// Called for each place where the bytes may start; returns where to look
// on from (at least one past the place).
using PlaceFound = std::function<const char*(const char*)>;

// Calls `found`, in order, for the places in [p, end) whose first byte and
// last two bytes are those of `bytes` (not empty): every place that holds
// `bytes` is among them. They are found 64 bytes at a time where the
// processor has AVX2, 16 where it has SSE2; the caller compares the rest.
void findPlaces(const char* p, const char* end, std::string_view bytes, const PlaceFound& found);

}  // namespace hiduke
