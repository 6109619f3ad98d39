#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace hiduke {

// Writes a file's chunks on a thread of its own, so that the next chunk is
// made while the last one goes to the file, and asks the disk to start on
// them as they come (not possible on a pipe, and not needed for a result),
// so that an fsync at the end waits for less.
class BackgroundWriter {
 public:
  explicit BackgroundWriter(int fd);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Stops without writing what was handed over and not yet begun.
  ~BackgroundWriter();

  // Hands `chunk` over to be written, once the chunk before it is written,
  // and leaves in it an empty buffer with room to fill; false once a write
  // has failed.
  bool write(std::string& chunk);
  // Waits for every chunk handed over to be written: 0, or the errno of
  // the first write that failed.
  int finish();

 private:
  void run();

  int fd_;
  off_t written_ = 0;
  off_t writingBack_ = 0;  // the bytes before it are on their way to the disk
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string waiting_;       // handed over, not yet being written
  bool hasWaiting_ = false;
  bool writing_ = false;
  bool stopping_ = false;
  int error_ = 0;
  std::thread thread_;  // last: it starts once the rest is set
};

}  // namespace hiduke
