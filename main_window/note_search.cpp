#include "main_window/note_search.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <numeric>
#include <string_view>

#include "note_store/byte_places.h"

namespace hiduke {

StoreResult<NoteSearch> NoteSearch::read(const NoteStore& store) try {
  StoreResult<const SearchFolding*> folding = SearchFolding::get();
  StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
  if (!folding || !decoder) {
    StoreError error = !folding ? std::move(folding).error() : std::move(decoder).error();
    error.path = store.path();
    return error;
  }
  NoteSearch search(**folding, *decoder);
  // No record is shorter than "1,1,1," and its line end: room for all,
  // taken by the pages they fill.
  const auto records = static_cast<std::size_t>(std::max<std::int64_t>(store.fileIdentity().size, 0) / 7 + 1);
  search.starts_.reserve(records + 1);
  search.days_.reserve(records);
  StoreResult<FileIdentity> file =
      store.forEachRecord([&search](std::chrono::year_month_day date, std::string_view stored) { search.add(date, stored); });
  if (!file) return std::move(file).error();
  search.putInDateOrder();
  return search;
} catch (const std::bad_alloc&) {
  return StoreError{.kind = StoreErrorKind::kOutOfMemory, .errorNumber = ENOMEM, .path = store.path()};
}

NoteSearch::Bytes& NoteSearch::Bytes::operator=(Bytes&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  return *this;
}

NoteSearch::Bytes::~Bytes() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
}

char* NoteSearch::Bytes::room(std::size_t bytes) {
  if (capacity_ - size_ < bytes) {
    // Twice the room: only the pages written to take memory.
    const std::size_t capacity = std::max(size_ + bytes, 2 * capacity_ + (std::size_t{1} << 20));
    void* grown = data_ == nullptr ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                   : ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) throw std::bad_alloc();
    // Huge pages where the mapping grows to hold them (see huge_pages.h),
    // asked for the mapping whole: mremap moves only an unsplit mapping.
    if (data_ == nullptr) ::madvise(grown, capacity, MADV_HUGEPAGE);
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  return data_ + size_;
}

void NoteSearch::Bytes::append(std::string_view bytes) {
  std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
  grow(bytes.size());
}

void NoteSearch::add(std::chrono::year_month_day date, std::string_view stored) {
  char* const out = folded_.room(stored.size() * folding_->mostGrowth() + 1);
  const SearchFolding::Folded note = folding_->fold(stored, out);
  *note.end = '\n';
  starts_.push_back(folded_.size());
  days_.push_back(static_cast<std::int32_t>(std::chrono::sys_days(date).time_since_epoch().count()));
  folded_.grow(static_cast<std::size_t>(note.end + 1 - out));
  if (note.changed) {
    writtenNotes_.push_back({noteCount() - 1, written_.size()});
    written_.append(stored);
  }
}

void NoteSearch::putInDateOrder() {
  starts_.push_back(folded_.size());
  if (std::adjacent_find(days_.begin(), days_.end(), std::greater_equal<>()) == days_.end()) return;
  // Records out of order or repeated (edits by hand or by other programs):
  // the notes are laid out again, once.
  std::vector<std::uint32_t> order(noteCount());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) { return days_[a] < days_[b]; });
  NoteSearch sorted(*folding_, decoder_);
  for (auto note = order.begin(); note != order.end(); ++note) {
    if (note + 1 != order.end() && days_[*(note + 1)] == days_[*note]) continue;
    sorted.starts_.push_back(sorted.folded_.size());
    sorted.days_.push_back(days_[*note]);
    sorted.folded_.append(std::string_view(folded_.data() + starts_[*note], starts_[*note + 1] - starts_[*note]));
    const auto written = std::lower_bound(writtenNotes_.begin(), writtenNotes_.end(), *note,
                                          [](const Written& w, std::uint32_t n) { return w.note < n; });
    if (written == writtenNotes_.end() || written->note != *note) continue;
    const std::uint64_t end = written + 1 != writtenNotes_.end() ? (written + 1)->start : written_.size();
    sorted.writtenNotes_.push_back({sorted.noteCount() - 1, sorted.written_.size()});
    sorted.written_.append(std::string_view(written_.data() + written->start, end - written->start));
  }
  sorted.starts_.push_back(sorted.folded_.size());
  *this = std::move(sorted);
}

std::uint32_t NoteSearch::noteAt(std::uint64_t at, std::uint32_t from) const {
  // Hits come in order, mostly near the one before: a gallop from there.
  std::uint32_t low = from;
  std::uint32_t step = 1;
  while (low + step < noteCount() && starts_[low + step] <= at) {
    low += step;
    step *= 2;
  }
  const auto high = starts_.begin() + std::min<std::size_t>(std::size_t{low} + step, noteCount()) + 1;
  return static_cast<std::uint32_t>(std::upper_bound(starts_.begin() + low, high, at) - starts_.begin() - 1);
}

NoteSearch::Result NoteSearch::find(const QString& query, std::size_t limit) const {
  Result result;
  const std::string needle = folding_->foldQuery(query);
  if (needle.empty() || needle.find('\n') != std::string::npos) return result;
  std::vector<Found>& found = found_;
  found.clear();
  const char* const text = folded_.data();
  std::uint32_t note = 0;
  std::uint64_t walked = 0;  // where a character begins, at or after every byte looked at
  findPlaces(text, text + folded_.size(), needle, [&](const char* place) {
    if (std::memcmp(place, needle.data(), needle.size()) != 0) return place + 1;
    const auto at = static_cast<std::uint64_t>(place - text);
    note = noteAt(at, note);
    // Only a hit where a character begins counts: the second byte of a
    // code page 932 character may look like a first byte, or like ASCII.
    // A byte below 0x40 is a character of its own, never a second byte.
    const auto isWhole = [](char byte) { return static_cast<unsigned char>(byte) < 0x40; };
    if (at != starts_[note] && !isWhole(text[at]) && !isWhole(text[at - 1])) {
      walked = std::max(walked, starts_[note]);
      while (walked < at) walked += SearchFolding::characterLength(static_cast<unsigned char>(text[walked]));
      if (walked != at) return place + 1;
    }
    found.push_back({note, at});
    return text + starts_[note + 1];
  });
  result.total = found.size();
  for (auto hit = found.rbegin(); hit != found.rend() && result.hits.size() < limit; ++hit) {
    const auto line = std::count(text + starts_[hit->note], text + hit->at, '\n');
    result.hits.push_back({hit->note, static_cast<std::uint32_t>(line)});
  }
  return result;
}

NoteSearch::Result NoteSearch::upcoming(std::chrono::year_month_day from, std::size_t limit) const {
  const auto first = std::lower_bound(days_.begin(), days_.end(), std::chrono::sys_days(from).time_since_epoch().count());
  Result result{.hits = {}, .total = static_cast<std::size_t>(days_.end() - first)};
  for (auto note = static_cast<std::uint32_t>(first - days_.begin()); note < noteCount() && result.hits.size() < limit; ++note) {
    result.hits.push_back({note, 0});
  }
  return result;
}

std::chrono::year_month_day NoteSearch::date(Hit hit) const {
  return std::chrono::year_month_day(std::chrono::sys_days(std::chrono::days(days_[hit.note])));
}

QString NoteSearch::line(Hit hit) const {
  // A note that folding left as it was is its folded form, line breaks
  // apart.
  std::string_view note(folded_.data() + starts_[hit.note], starts_[hit.note + 1] - 1 - starts_[hit.note]);
  char lineBreak = '\n';
  const auto written = std::lower_bound(writtenNotes_.begin(), writtenNotes_.end(), hit.note,
                                        [](const Written& w, std::uint32_t n) { return w.note < n; });
  if (written != writtenNotes_.end() && written->note == hit.note) {
    const std::uint64_t end = written + 1 != writtenNotes_.end() ? (written + 1)->start : written_.size();
    note = std::string_view(written_.data() + written->start, end - written->start);
    lineBreak = ';';
  }
  for (std::uint32_t skipped = 0; skipped < hit.line; ++skipped) note.remove_prefix(note.find(lineBreak) + 1);
  note = note.substr(0, note.find(lineBreak));
  std::string utf8(Cp932Decoder::room(note.size()), '\0');
  const char* end = decoder_.decode(note, utf8.data());
  return QString::fromUtf8(utf8.data(), end - utf8.data());
}

}  // namespace hiduke
