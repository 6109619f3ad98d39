#pragma once

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "main_window/search_folding.h"
#include "note_store/note_store.h"
#include "note_store/unique_fd.h"

namespace hiduke {

// Every note, ready to be searched as the user types: read once and kept
// folded (SearchFolding), one after another in date order, in about the
// room the note file takes; a note that folding changes is kept as written
// too, for its lines to be shown. Beyond a budget of memory the notes go
// to unlinked files in the system's temporary directory, mapped and looked
// at a piece at a time, each piece's pages given back after it: a huge
// note file takes no more memory than the budget and a piece.
class NoteSearch {
 public:
  static constexpr std::size_t kMemoryBudget = std::size_t{256} << 20;

  // Every note of the file of `store`, as the file holds it now; in memory
  // while the notes and their index take at most `memoryBudget` bytes.
  // A temporary file that cannot be written is kWriteFailed, its
  // directory the path.
  static StoreResult<NoteSearch> read(const NoteStore& store, std::size_t memoryBudget = kMemoryBudget);

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
  // The line as written, its first kShownCharacters and "…" where it is
  // longer: a row of a list shows no more, and a line of a megabyte would
  // take seconds to lay out each time the list is drawn.
  static constexpr std::size_t kShownCharacters = 200;
  QString line(Hit hit) const;

 private:
  // Bytes that grow by moving their pages (mremap), never by copying
  // them, so that a huge file's notes are not held twice while they are
  // read. Spilled, they are a shared mapping of an unlinked file, its
  // blocks taken (fallocate) before they are written: a full disk is an
  // error, not a fault.
  class Bytes {
   public:
    Bytes() = default;
    Bytes(Bytes&& other) noexcept { *this = std::move(other); }
    Bytes& operator=(Bytes&& other) noexcept;
    ~Bytes();
    // At least `bytes` free at the end.
    char* room(std::size_t bytes) { return capacity_ - size_ < bytes ? roomBeyond(bytes) : data_ + size_; }
    void grow(std::size_t bytes) { size_ += bytes; }
    void append(std::string_view bytes);
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // Moves the bytes to the file `fd`, where they grow from now on.
    void spill(UniqueFd fd);
    bool spilled() const { return static_cast<bool>(fd_); }
    // Gives back the pages of spilled bytes; read again when touched.
    void release() const;

   private:
    char* roomBeyond(std::size_t bytes);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    UniqueFd fd_;
  };
  // Values kept in Bytes, spilled with the notes.
  template <typename T>
  class Column {
   public:
    void push(T value) {
      std::memcpy(bytes_.room(sizeof value), &value, sizeof value);
      bytes_.grow(sizeof value);
    }
    const T* begin() const { return reinterpret_cast<const T*>(bytes_.data()); }
    const T* end() const { return begin() + size(); }
    std::size_t size() const { return bytes_.size() / sizeof(T); }
    const T& operator[](std::size_t i) const { return begin()[i]; }
    Bytes& bytes() { return bytes_; }
    const Bytes& bytes() const { return bytes_; }

   private:
    Bytes bytes_;
  };
  // A note that folding changed, and where it lies as written.
  struct Written {
    std::uint32_t note;
    std::uint32_t unused = 0;  // spilled with the rest: no unset bytes go to the file
    std::uint64_t start;
  };

  NoteSearch(const SearchFolding& folding, Cp932Decoder decoder, std::size_t memoryBudget, std::string spillDirectory)
      : folding_(&folding),
        decoder_(decoder),
        memoryBudget_(memoryBudget),
        piece_(std::clamp<std::size_t>(memoryBudget / 16, 1, kLargestPiece)),
        spillDirectory_(std::move(spillDirectory)) {}
  void add(std::chrono::year_month_day date, std::string_view stored);
  // A note whose `folded` bytes were put at the end of folded_; `written`
  // as stored when folding changed it, else empty.
  void added(std::int32_t day, std::size_t folded, std::string_view written);
  // Of the records of one date the last is its note; the notes in date
  // order.
  void putInDateOrder();
  std::size_t held() const {
    return folded_.size() + written_.size() + starts_.bytes().size() + days_.bytes().size() + writtenNotes_.bytes().size();
  }
  // Past the budget every column is spilled; spilled, their pages are
  // given back every piece.
  void keepWithinBudget() {
    if (held() - releasedAt_ >= (folded_.spilled() ? piece_ : memoryBudget_)) spillOrRelease();
  }
  void spillOrRelease();
  void release() const;
  // The note that holds the byte at `at`, looking forward from `from`.
  std::uint32_t noteAt(std::uint64_t at, std::uint32_t from) const;
  std::uint32_t noteCount() const { return static_cast<std::uint32_t>(days_.size()); }

  const SearchFolding* folding_;
  Cp932Decoder decoder_;
  std::size_t memoryBudget_;
  // How much of spilled notes is looked at before its pages are given
  // back: a sixteenth of the budget, so that a tiny one tries every edge.
  static constexpr std::size_t kLargestPiece = std::size_t{16} << 20;
  std::size_t piece_;
  std::string spillDirectory_;
  Bytes folded_;                  // every note, each ended by "\n"
  Column<std::uint64_t> starts_;  // where each note begins, and the end
  Column<std::int32_t> days_;     // each note's date (days since 1970)
  Bytes written_;                 // the notes that folding changed, as stored
  Column<Written> writtenNotes_;  // in note order
  bool inDateOrder_ = true;
  std::int32_t firstDay_ = std::numeric_limits<std::int32_t>::max();
  std::int32_t lastDay_ = std::numeric_limits<std::int32_t>::min();
  std::size_t releasedAt_ = 0;  // the bytes held when pages were last given back
  // The newest notes the last search found, as many as it showed, kept
  // for the next: a new vector at each keystroke would take its pages anew.
  struct Found {
    std::uint32_t note;
    std::uint64_t at;
  };
  mutable std::vector<Found> found_;
};

}  // namespace hiduke
