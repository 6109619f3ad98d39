#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace hiduke {

// Writes a file's chunks on a thread of its own, so that the next chunk is
// made while the last one goes to the file.
class BackgroundWriter {
 public:
  // `syncing` (a regular file): what is written is also synced to the disk
  // as it goes, on another thread, so that the disk works while the rest
  // is made and an fsync at the end waits for the last part only.
  BackgroundWriter(int fd, bool syncing);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // The same as abandon().
  ~BackgroundWriter();

  // Hands `chunk` over to be written, once the chunk before it is written,
  // and leaves in it an empty buffer with room to fill; false once a write
  // has failed.
  bool write(std::string& chunk);
  // Waits for every chunk handed over to be written, and ends: 0, or the
  // errno of the first write or sync that failed.
  int finish();
  // Ends without writing what was handed over and not yet begun: 0, or
  // the errno of a write or sync that failed.
  int abandon();

 private:
  void stop();
  void writeChunks();
  void syncWritten();

  int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string waiting_;  // handed over, not yet being written
  bool hasWaiting_ = false;
  bool writing_ = false;
  bool stopping_ = false;
  off_t written_ = 0;
  off_t synced_ = 0;
  int error_ = 0;
  // Last: they start once the rest is set.
  std::thread writer_;
  std::thread syncer_;
};

}  // namespace hiduke
