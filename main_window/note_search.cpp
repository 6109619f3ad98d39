#include "main_window/note_search.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "note_store/byte_places.h"
#include "note_store/write_all.h"

namespace hiduke {

namespace {

// How far ahead a spilled file takes its blocks, at most: not twice its size.
constexpr std::size_t kFileGrowth = std::size_t{64} << 20;

// The pages a note's copy may touch are counted by this size.
constexpr std::size_t kPage = 4096;

// A temporary file that cannot be made or written.
struct SpillFailed {
  int errorNumber;
};

// An unlinked file in `directory`, gone with its last descriptor.
UniqueFd spillFile(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {  // a file system without O_TMPFILE
    std::string name = directory + "/hiduke-search-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd < 0) throw SpillFailed{errno};
  return UniqueFd(fd);
}

}  // namespace

StoreResult<NoteSearch> NoteSearch::read(const NoteStore& store, std::size_t memoryBudget) {
  StoreResult<const SearchFolding*> folding = SearchFolding::get();
  StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
  if (!folding || !decoder) {
    StoreError error = !folding ? std::move(folding).error() : std::move(decoder).error();
    error.path = store.path();
    return error;
  }
  const char* const temporary = std::getenv("TMPDIR");
  // /var/tmp, not /tmp: the latter is often a tmpfs, whose files take the
  // memory the spill is there to spare.
  NoteSearch search(**folding, *decoder, memoryBudget, temporary != nullptr && *temporary != '\0' ? temporary : "/var/tmp");
  try {
    StoreResult<FileIdentity> file =
        store.forEachRecord([&search](std::chrono::year_month_day date, std::string_view stored) { search.add(date, stored); });
    if (!file) return std::move(file).error();
    search.putInDateOrder();
  } catch (const std::bad_alloc&) {
    return StoreError{.kind = StoreErrorKind::kOutOfMemory, .errorNumber = ENOMEM, .path = store.path()};
  } catch (const SpillFailed& failed) {
    return StoreError{.kind = StoreErrorKind::kWriteFailed,
                      .operation = StoreOperation::kSearch,
                      .errorNumber = failed.errorNumber,
                      .path = search.spillDirectory_};
  }
  search.release();
  return search;
}

NoteSearch::Bytes& NoteSearch::Bytes::operator=(Bytes&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  std::swap(fd_, other.fd_);
  return *this;
}

NoteSearch::Bytes::~Bytes() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
}

char* NoteSearch::Bytes::roomBeyond(std::size_t bytes) {
  // Twice the room: only the pages written to take memory.
  std::size_t capacity = std::max(size_ + bytes, 2 * capacity_ + (std::size_t{1} << 20));
  if (fd_) {
    capacity = size_ + bytes + std::min(size_ + bytes, kFileGrowth);
    int error;
    do {
      error = ::posix_fallocate(fd_.get(), static_cast<off_t>(capacity_), static_cast<off_t>(capacity - capacity_));
    } while (error == EINTR);
    if (error != 0) throw SpillFailed{error};
  }
  void* grown = data_ != nullptr ? ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE)
                : fd_            ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0)
                                 : ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (grown == MAP_FAILED) {
    if (fd_) throw SpillFailed{errno};
    throw std::bad_alloc();
  }
  // Huge pages where the mapping grows to hold them (see huge_pages.h),
  // asked for the mapping whole: mremap moves only an unsplit mapping.
  if (data_ == nullptr && !fd_) ::madvise(grown, capacity, MADV_HUGEPAGE);
  data_ = static_cast<char*>(grown);
  capacity_ = capacity;
  return data_ + size_;
}

void NoteSearch::Bytes::spill(UniqueFd fd) {
  if (const int error = writeAll(fd.get(), std::string_view(data_, size_)); error != 0) throw SpillFailed{error};
  if (data_ != nullptr) ::munmap(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
  const std::size_t size = std::exchange(size_, 0);
  fd_ = std::move(fd);
  room(size);
  grow(size);
}

void NoteSearch::Bytes::release() const {
  if (fd_ && data_ != nullptr) ::madvise(data_, capacity_, MADV_DONTNEED);
}

void NoteSearch::Bytes::append(std::string_view bytes) {
  std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
  grow(bytes.size());
}

void NoteSearch::add(std::chrono::year_month_day date, std::string_view stored) {
  char* const out = folded_.room(stored.size() * folding_->mostGrowth() + 1);
  const SearchFolding::Folded note = folding_->fold(stored, out);
  *note.end = '\n';
  const auto day = static_cast<std::int32_t>(std::chrono::sys_days(date).time_since_epoch().count());
  inDateOrder_ = inDateOrder_ && day > lastDay_;
  firstDay_ = std::min(firstDay_, day);
  lastDay_ = std::max(lastDay_, day);
  added(day, static_cast<std::size_t>(note.end + 1 - out), note.changed ? stored : std::string_view());
}

void NoteSearch::added(std::int32_t day, std::size_t folded, std::string_view written) {
  // Notes are counted in 32 bits: a file of more records (tens of
  // gigabytes) is beyond the search.
  if (days_.size() == std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  starts_.push(folded_.size());
  days_.push(day);
  folded_.grow(folded);
  if (!written.empty()) {
    writtenNotes_.push({.note = noteCount() - 1, .start = written_.size()});
    written_.append(written);
  }
  keepWithinBudget();
}

void NoteSearch::spillOrRelease() {
  if (!folded_.spilled()) {
    for (Bytes* bytes : {&folded_, &written_, &starts_.bytes(), &days_.bytes(), &writtenNotes_.bytes()}) {
      bytes->spill(spillFile(spillDirectory_));
    }
  }
  release();
  releasedAt_ = held();
}

void NoteSearch::release() const {
  for (const Bytes* bytes : {&folded_, &written_, &starts_.bytes(), &days_.bytes(), &writtenNotes_.bytes()}) bytes->release();
}

void NoteSearch::putInDateOrder() {
  starts_.push(folded_.size());
  if (inDateOrder_) return;
  // Records out of order or repeated (edits by hand, or a note added to a
  // day before the file's last): the notes are laid out again, once, by a
  // table of each day's last record, whose room the span of days bounds.
  Bytes latest;  // for each day from the first, its last record's place plus one; 0 for none
  const std::size_t span = static_cast<std::size_t>(lastDay_ - firstDay_) + 1;
  auto* const last = reinterpret_cast<std::uint32_t*>(latest.room(span * sizeof(std::uint32_t)));
  for (std::uint32_t note = 0; note < noteCount(); ++note) {
    last[days_[note] - firstDay_] = note + 1;
    if (note % (piece_ / sizeof(std::int32_t) + 1) == 0) release();
  }
  // Spilled notes are laid out again in files of their own, in pieces of
  // the same size.
  // The budget is shared with the notes being laid out, held until then.
  NoteSearch sorted(*folding_, decoder_, folded_.spilled() ? 0 : memoryBudget_ - std::min(memoryBudget_, held()),
                    spillDirectory_);
  sorted.piece_ = piece_;
  std::size_t copied = 0;
  for (std::size_t slot = 0; slot < span; ++slot) {
    if (last[slot] == 0) continue;
    const std::uint32_t note = last[slot] - 1;
    const std::size_t size = starts_[note + 1] - starts_[note];
    std::memcpy(sorted.folded_.room(size), folded_.data() + starts_[note], size);
    const auto written = std::lower_bound(writtenNotes_.begin(), writtenNotes_.end(), note,
                                          [](const Written& w, std::uint32_t n) { return w.note < n; });
    std::string_view stored;
    if (written != writtenNotes_.end() && written->note == note) {
      const std::uint64_t end = written + 1 != writtenNotes_.end() ? (written + 1)->start : written_.size();
      stored = std::string_view(written_.data() + written->start, end - written->start);
    }
    sorted.added(firstDay_ + static_cast<std::int32_t>(slot), size, stored);
    // Besides its bytes a note copied touches the pages of its start and
    // of its written form's place, wherever they lie.
    if ((copied += size + 3 * kPage) >= piece_) {
      release();
      copied = 0;
    }
  }
  sorted.starts_.push(sorted.folded_.size());
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
  // The newest `limit` notes found, in a ring; the older are only counted.
  std::vector<Found>& found = found_;
  found.clear();
  const char* const text = folded_.data();
  const char* const end = text + folded_.size();
  std::size_t oldest = 0;  // of the ring, once it is full
  std::uint32_t note = 0;
  std::uint64_t walked = 0;  // where a character begins, at or after every byte looked at
  const auto foundAt = [&](const char* place) -> const char* {
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
    if (found.size() < limit) {
      found.push_back({note, at});
    } else if (limit != 0) {
      found[oldest] = {note, at};
      oldest = oldest + 1 == limit ? 0 : oldest + 1;
    }
    ++result.total;
    return text + starts_[note + 1];
  };
  // A piece at a time, each place looked at in the piece it starts in.
  for (const char* piece = text; piece < end;) {
    const char* const pieceEnd = piece + std::min<std::size_t>(end - piece, piece_);
    const char* on = pieceEnd;
    findPlaces(piece, pieceEnd + std::min<std::size_t>(end - pieceEnd, needle.size() - 1), needle, [&](const char* place) {
      const char* const next = foundAt(place);
      on = std::max(on, next);
      return next;
    });
    piece = on;
    release();
  }
  for (std::size_t newest = 0; newest < found.size(); ++newest) {
    const Found hit = found[(oldest + found.size() - 1 - newest) % found.size()];
    const auto line = std::count(text + starts_[hit.note], text + hit.at, '\n');
    result.hits.push_back({hit.note, static_cast<std::uint32_t>(line)});
  }
  release();
  return result;
}

NoteSearch::Result NoteSearch::upcoming(std::chrono::year_month_day from, std::size_t limit) const {
  const auto first = std::lower_bound(days_.begin(), days_.end(), std::chrono::sys_days(from).time_since_epoch().count());
  Result result{.hits = {}, .total = static_cast<std::size_t>(days_.end() - first)};
  for (auto note = static_cast<std::uint32_t>(first - days_.begin()); note < noteCount() && result.hits.size() < limit; ++note) {
    result.hits.push_back({note, 0});
  }
  release();
  return result;
}

std::chrono::year_month_day NoteSearch::date(Hit hit) const {
  const std::chrono::days day(days_[hit.note]);
  days_.bytes().release();
  return std::chrono::year_month_day(std::chrono::sys_days(day));
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
  std::size_t shown = 0;
  for (std::size_t characters = 0; shown < note.size() && characters < kShownCharacters; ++characters) {
    shown += SearchFolding::characterLength(static_cast<unsigned char>(note[shown])) == 2 ? 2 : 1;
  }
  const bool cut = shown < note.size();
  note = note.substr(0, shown);
  std::string utf8(Cp932Decoder::room(note.size()), '\0');
  const char* end = decoder_.decode(note, utf8.data());
  release();
  QString text = QString::fromUtf8(utf8.data(), end - utf8.data());
  return cut ? text + QStringLiteral("…") : text;
}

}  // namespace hiduke
