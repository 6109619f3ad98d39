#include "ical/background_writer.h"

#include <fcntl.h>

#include <utility>

#include "note_store/write_all.h"

namespace hiduke {

namespace {

constexpr off_t kWritebackChunk = off_t{1} << 23;

}  // namespace

BackgroundWriter::BackgroundWriter(int fd) : fd_(fd), thread_([this] { run(); }) {}

BackgroundWriter::~BackgroundWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    hasWaiting_ = false;
  }
  changed_.notify_all();
  thread_.join();
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

int BackgroundWriter::finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasWaiting_ && !writing_; });
  return error_;
}

void BackgroundWriter::run() {
  std::string chunk;
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return hasWaiting_ || stopping_; });
    if (stopping_) return;
    chunk.swap(waiting_);
    hasWaiting_ = false;
    writing_ = true;
    lock.unlock();
    changed_.notify_all();
    const int error = error_ == 0 ? writeAll(fd_, chunk) : 0;
    written_ += static_cast<off_t>(chunk.size());
    if (written_ - writingBack_ >= kWritebackChunk) {
      ::sync_file_range(fd_, writingBack_, written_ - writingBack_, SYNC_FILE_RANGE_WRITE);
      writingBack_ = written_;
    }
    chunk.clear();
    lock.lock();
    if (error_ == 0) error_ = error;
    writing_ = false;
    changed_.notify_all();
  }
}

}  // namespace hiduke
