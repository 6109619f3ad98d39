#pragma once

#include <cstdint>
#include <functional>

namespace hiduke {

// Told now and then how far a long import or export has come (`done` of
// `total`, in bytes or notes as the operation counts them); answers false
// to stop it. Called on the thread that runs the operation.
using ICalProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

}  // namespace hiduke
