#include "ical/background_writer.h"

#include <unistd.h>

#include <cerrno>

#include "note_store/write_all.h"

namespace hiduke {

namespace {

// A sync waits for the disk's cache to be flushed, which takes as long as
// what was written since the sync before; so they are made often.
constexpr off_t kSyncChunk = off_t{1} << 21;

}  // namespace

BackgroundWriter::BackgroundWriter(int fd, bool syncing) : fd_(fd), writer_([this] { writeChunks(); }) {
  if (!syncing) return;
  try {
    syncer_ = std::thread([this] { syncWritten(); });
  } catch (...) {
    stop();
    throw;
  }
}

BackgroundWriter::~BackgroundWriter() { stop(); }

void BackgroundWriter::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    hasWaiting_ = false;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (syncer_.joinable()) syncer_.join();
}

bool BackgroundWriter::write(std::string& chunk) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasWaiting_; });
  if (error_ != 0) return false;
  waiting_.swap(chunk);
  hasWaiting_ = true;
  chunk.clear();
  lock.unlock();
  changed_.notify_all();
  return true;
}

int BackgroundWriter::abandon() {
  stop();
  return error_;
}

int BackgroundWriter::finish() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hasWaiting_ && !writing_; });
  }
  // A sync under way is waited for: its failure is the file's.
  stop();
  return error_;
}

void BackgroundWriter::writeChunks() {
  std::string chunk;
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return hasWaiting_ || stopping_; });
    if (stopping_) return;
    chunk.swap(waiting_);
    hasWaiting_ = false;
    writing_ = true;
    const bool failed = error_ != 0;
    lock.unlock();
    changed_.notify_all();
    const int error = failed ? 0 : writeAll(fd_, chunk);
    const auto size = static_cast<off_t>(chunk.size());
    chunk.clear();
    lock.lock();
    if (error_ == 0) error_ = error;
    written_ += size;
    writing_ = false;
    changed_.notify_all();
  }
}

void BackgroundWriter::syncWritten() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || written_ - synced_ >= kSyncChunk; });
    if (stopping_) return;
    const off_t upTo = written_;
    lock.unlock();
    // A failure is told once: the fsync at the end would not see it again.
    const int error = ::fdatasync(fd_) != 0 ? errno : 0;
    lock.lock();
    synced_ = upTo;
    if (error_ == 0) error_ = error;
    changed_.notify_all();
  }
}

}  // namespace hiduke
