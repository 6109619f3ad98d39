#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

#include "main_window/search_folding.h"
#include "note_store/note_store.h"

namespace hiduke {

// Every note, ready to be searched as the user types: read once and kept
// folded (SearchFolding), one after another in date order, in about the
// room the note file takes; a note that folding changes is kept as written
// too, for its lines to be shown.
class NoteSearch {
 public:
  // Every note of the file of `store`, as the file holds it now.
  static StoreResult<NoteSearch> read(const NoteStore& store);

  // A line of a note: the note's place in date order and the line's in
  // the note.
  struct Hit {
    std::uint32_t note;
    std::uint32_t line;
  };
  // The notes found, at most as many as asked for, and how many there are
  // in all.
  struct Result {
    std::vector<Hit> hits;
    std::size_t total = 0;
  };
  // The notes that hold `query`, newest first, each by its first line
  // that holds it.
  Result find(const QString& query, std::size_t limit) const;
  // The notes from `from` on, nearest first, each by its first line.
  Result upcoming(std::chrono::year_month_day from, std::size_t limit) const;

  std::chrono::year_month_day date(Hit hit) const;
  QString line(Hit hit) const;  // as written

 private:
  // Bytes that grow by moving their pages (mremap), never by copying
  // them, so that a huge file's notes are not held twice while they are
  // read.
  class Bytes {
   public:
    Bytes() = default;
    Bytes(Bytes&& other) noexcept { *this = std::move(other); }
    Bytes& operator=(Bytes&& other) noexcept;
    ~Bytes();
    char* room(std::size_t bytes);  // at least `bytes` free at the end
    void grow(std::size_t bytes) { size_ += bytes; }
    void append(std::string_view bytes);
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }

   private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
  };
  // A note that folding changed, and where it lies as written.
  struct Written {
    std::uint32_t note;
    std::uint64_t start;
  };

  NoteSearch(const SearchFolding& folding, Cp932Decoder decoder) : folding_(&folding), decoder_(decoder) {}
  void add(std::chrono::year_month_day date, std::string_view stored);
  // Of the records of one date the last is its note; the notes in date
  // order.
  void putInDateOrder();
  // The note that holds the byte at `at`, looking forward from `from`.
  std::uint32_t noteAt(std::uint64_t at, std::uint32_t from) const;
  std::uint32_t noteCount() const { return static_cast<std::uint32_t>(days_.size()); }

  const SearchFolding* folding_;
  Cp932Decoder decoder_;
  Bytes folded_;                       // every note, each ended by "\n"
  std::vector<std::uint64_t> starts_;  // where each note begins, and the end
  std::vector<std::int32_t> days_;     // each note's date (days since 1970)
  Bytes written_;                      // the notes that folding changed, as stored
  std::vector<Written> writtenNotes_;  // in note order
  // Where the last search found each note, kept for the next: a new
  // vector at each keystroke would take its pages anew.
  struct Found {
    std::uint32_t note;
    std::uint64_t at;
  };
  mutable std::vector<Found> found_;
};

}  // namespace hiduke
