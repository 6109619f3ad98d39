// The stores the benchmarks read and write: files of 1,000 to 1,000,000
// records in a fresh directory under $HIDUKE_BENCH_DIR (default: the
// current directory), removed at the end; and read(), the baseline of every
// reader.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "note_store/note_record.h"
#include "note_store/note_store.h"

namespace bench {

// The month shown: the last month of every store, as today's month is for
// notes kept in date order.
constexpr std::chrono::year_month kShown = std::chrono::year(2999) / 12;
constexpr std::chrono::year_month_day kSavedDay = kShown / 15;
constexpr size_t kChunk = size_t{1} << 16;

inline void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

class BenchDir {
 public:
  BenchDir() {
    const char* base = std::getenv("HIDUKE_BENCH_DIR");
    std::string pattern = std::string(base != nullptr ? base : ".") + "/hiduke-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~BenchDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

  // A store of `records` notes, one per day in date order, ending on the
  // last day of the month shown; texts of one to three short lines.
  const std::string& store(long records) {
    auto found = stores_.find(records);
    if (found != stores_.end()) return found->second;
    static const std::array<std::string, 6> texts = {
        "\x89\xef\x8b\x63",                                          // 会議
        "\x94\x83\x82\xa2\x95\xa8;10\x8e\x9e",                       // 買い物;10時
        "\x8e\x95\x88\xe3\x8e\xd2 15:00",                            // 歯医者 15:00
        "\x91\xc5\x82\xbf\x8d\x87\x82\xed\x82\xb9;\x8e\x91\x97\xbf",  // 打ち合わせ;資料
        "\x97\x46\x90\x6c\x82\xc6\x90\x48\x8e\x96",                  // 友人と食事
        "\x8f\x6f\x92\xa3;\x90\x56\x8a\xb2\x90\xfc;\x94\x91\x82\xdc\x82\xe8",  // 出張;新幹線;泊まり
    };
    const std::chrono::sys_days last{kShown / std::chrono::last};
    std::string content;
    for (long i = 0; i < records; ++i) {
      const std::chrono::year_month_day day{last - std::chrono::days(records - 1 - i)};
      content += hiduke::formatNoteRecord(day, texts[static_cast<size_t>(i) % texts.size()]);
    }
    std::string path = path_ + "/store-" + std::to_string(records) + ".dat";
    writeFile(path, content);
    return stores_.emplace(records, path).first->second;
  }

  // hiduke.dat, a copy of the store of `records` notes, in a directory of
  // its own that also holds `other_entries` empty files.
  std::string crowded(long records, long other_entries) {
    const std::string dir = path_ + "/crowded-" + std::to_string(other_entries);
    std::filesystem::create_directory(dir);
    for (long i = 0; i < other_entries; ++i) {
      int fd = ::open((dir + "/entry-" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) throw std::runtime_error("cannot create the directory's entries");
      ::close(fd);
    }
    const std::string path = dir + "/hiduke.dat";
    std::filesystem::copy_file(store(records), path, std::filesystem::copy_options::overwrite_existing);
    return path;
  }

  // The store of `records` notes followed by a record of the 15th of the
  // month shown whose note is one line of `bytes` bytes.
  std::string withLongNote(long records, size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "\x89\xef\x8b\x63\x82\xcc\x8e\x91\x97\xbf";  // 会議の資料
    text.resize(bytes);
    std::ifstream in(store(records), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    content += hiduke::formatNoteRecord(kSavedDay, text);
    const std::string path = path_ + "/long-note.dat";
    writeFile(path, content);
    return path;
  }

 private:
  std::string path_;
  std::map<long, std::string> stores_;
};

inline BenchDir& dir() {
  static BenchDir dir;
  return dir;
}

inline long fileSize(const std::string& path) { return static_cast<long>(std::filesystem::file_size(path)); }

inline hiduke::NoteStore openStore(const std::string& path) {
  hiduke::StoreResult<hiduke::NoteStore> store = hiduke::NoteStore::open(path);
  if (!store) throw std::runtime_error("cannot open the store of " + path);
  return std::move(*store);
}

// Why a store call failed, for the benchmark's report.
inline std::string reason(const hiduke::StoreError& error) {
  return "store error kind " + std::to_string(static_cast<int>(error.kind)) + ": " + std::strerror(error.errorNumber);
}

// read() of the whole file in 64 KiB pieces, and nothing else: the least
// any reader of the file can do. The bytes read.
inline long readFile(const std::string& path, char* buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  long total = 0;
  ssize_t n;
  while ((n = ::read(fd, buffer, kChunk)) > 0) total += n;
  ::close(fd);
  return total;
}

}  // namespace bench
