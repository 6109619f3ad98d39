#pragma once

#include <chrono>
#include <functional>

#include "note_store/store_error.h"

namespace hiduke {

// How long a save waits for another copy of the program to finish its own.
inline constexpr auto kLockPatience = std::chrono::seconds(10);

// How often a waiting save calls its caller's hook.
inline constexpr auto kBusyHookInterval = std::chrono::milliseconds(20);

// Calls `busy` (when set) about every kBusyHookInterval, from the first
// call on, and sleeps between calls in ever longer steps of up to that
// interval: how the store waits for other programs.
class BusyWait {
 public:
  explicit BusyWait(const std::function<void()>& busy);
  // Waits a little; false once `patience` has passed since the first pause.
  bool pause(std::chrono::steady_clock::duration patience);

 private:
  const std::function<void()>& busy_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point hookDue_;
  std::chrono::milliseconds step_{1};
};

// Takes the exclusive lock on the open directory `directory`, which every
// save and delete of the note file in it holds: waits up to kLockPatience
// for another copy of the program to finish. The lock goes with the
// descriptor.
StoreResult<void> lockDirectory(int directory, const std::function<void()>& busy);

}  // namespace hiduke
