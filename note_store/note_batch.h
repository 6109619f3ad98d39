#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hiduke {

// One day's part of a batch: its new note, or nothing to remove it.
struct NoteChange {
  std::chrono::year_month_day date;
  std::optional<std::string_view> note;
};

// Many days changed in one rewrite of the file (an import, a merge). The
// notes' texts lie one after another in one buffer, with a small entry a
// day, so that a million changed days cost no million strings.
class NoteBatch {
 public:
  NoteBatch() = default;
  NoteBatch(std::initializer_list<NoteChange> changes, std::vector<std::string> added = {});

  // Room for `changes` days and `textBytes` bytes of their texts, taken at
  // once: room never written costs no memory, and texts never move as they grow.
  void reserve(std::size_t changes, std::size_t textBytes);
  // `date`'s new note: `parts` one after another. A note of 4 GiB or more
  // cannot be held (std::bad_alloc).
  void add(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts);
  // The same for a note already in the file's bytes (code page 932, ";"
  // for each line break), as a record holds it: written without a
  // conversion.
  void addStored(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts);
  void remove(std::chrono::year_month_day date);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Valid until the next add.
  NoteChange operator[](std::size_t i) const;
  bool isStored(std::size_t i) const { return entries_[i].offset != kRemoved && (entries_[i].offset & kStored) != 0; }

  // Lines added at the end as they are, in the file's bytes without line
  // end (lines of another copy of the file that hold no note).
  std::vector<std::string> addedLines{};

 private:
  static constexpr std::uint64_t kRemoved = UINT64_MAX;
  static constexpr std::uint64_t kStored = std::uint64_t{1} << 63;  // beside the offset
  void append(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts, std::uint64_t flag);
  struct Entry {
    std::chrono::year_month_day date;
    std::uint32_t length;
    std::uint64_t offset;  // into texts_, with kStored; kRemoved for a removal
  };
  std::vector<Entry> entries_;  // in the order added; of two of one date the later counts
  std::string texts_;
};

}  // namespace hiduke
