#include "note_store/note_batch.h"

#include "note_store/huge_pages.h"

#include <new>

namespace hiduke {

NoteBatch::NoteBatch(std::initializer_list<NoteChange> changes, std::vector<std::string> added)
    : addedLines(std::move(added)) {
  for (const NoteChange& change : changes) change.note ? add(change.date, {*change.note}) : remove(change.date);
}

void NoteBatch::reserve(std::size_t changes, std::size_t textBytes) {
  entries_.reserve(changes);
  texts_.reserve(textBytes);
  adviseHugePages(entries_.data(), entries_.capacity() * sizeof(Entry));
  adviseHugePages(texts_.data(), texts_.capacity());
}

void NoteBatch::add(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts) {
  append(date, parts, 0);
}

void NoteBatch::addStored(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts) {
  append(date, parts, kStored);
}

void NoteBatch::append(std::chrono::year_month_day date, std::initializer_list<std::string_view> parts,
                       std::uint64_t flag) {
  const std::size_t start = texts_.size();
  for (std::string_view part : parts) texts_.append(part);
  if (texts_.size() - start > UINT32_MAX) {
    texts_.resize(start);
    throw std::bad_alloc();
  }
  entries_.push_back({.date = date, .length = static_cast<std::uint32_t>(texts_.size() - start), .offset = start | flag});
}

void NoteBatch::remove(std::chrono::year_month_day date) {
  entries_.push_back({.date = date, .length = 0, .offset = kRemoved});
}

NoteChange NoteBatch::operator[](std::size_t i) const {
  const Entry& entry = entries_[i];
  if (entry.offset == kRemoved) return {entry.date, std::nullopt};
  return {entry.date, std::string_view(texts_).substr(entry.offset & ~kStored, entry.length)};
}

}  // namespace hiduke
