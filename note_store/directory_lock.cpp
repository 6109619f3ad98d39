#include "note_store/directory_lock.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace hiduke {

BusyWait::BusyWait(const std::function<void()>& busy)
    : busy_(busy), started_(std::chrono::steady_clock::now()), hookDue_(started_ + kBusyHookInterval) {}

bool BusyWait::pause(std::chrono::steady_clock::duration patience) {
  const auto now = std::chrono::steady_clock::now();
  if (now - started_ >= patience) return false;
  if (busy_ && now >= hookDue_) {
    busy_();
    hookDue_ = std::chrono::steady_clock::now() + kBusyHookInterval;
  }
  std::this_thread::sleep_for(step_);
  step_ = std::min(step_ * 2, std::chrono::duration_cast<std::chrono::milliseconds>(kBusyHookInterval));
  return true;
}

StoreResult<void> lockDirectory(int directory, const std::function<void()>& busy) {
  BusyWait wait(busy);
  while (::flock(directory, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return writeFailed(errno);
    if (!wait.pause(kLockPatience)) return writeFailed(EWOULDBLOCK);
  }
  return {};
}

}  // namespace hiduke
