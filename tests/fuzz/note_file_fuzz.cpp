// libFuzzer target for the note file on disk. The input is written as
// hiduke.dat in a real directory (in /dev/shm when there is one: fsync costs
// nothing there) and read and rewritten through NoteStore, as the window
// does. When the first byte is odd, the input comes after nearly 64 KiB of
// records, so that the end of the first piece the file is read in falls in
// the middle of the input.
// Besides crashes and sanitizer reports it checks that
//  - the notes of a month and the note of a date read from the file agree
//    with the content read in memory;
//  - a save replaces the first record of its date in its place and drops
//    the others (or appends one) and keeps every other line byte for byte,
//    and its note reads back;
//  - a delete drops the records of its date and keeps every other line;
//  - nothing but hiduke.dat is left in the directory.

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "note_store/cp932.h"
#include "note_store/note_content.h"
#include "note_store/note_record.h"
#include "whole_notes.h"
#include "note_store/note_store.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFillerSize = size_t{1} << 16;
constexpr char kNote[] = "予定, \"引用\"\n二行目 ¥";

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "note_file_fuzz: %s\n", what);
    std::abort();
  }
}

// A fresh directory for the run, removed at its end.
class FuzzDirectory {
 public:
  FuzzDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                       : tmp != nullptr && *tmp != '\0'                               ? tmp
                                                                                      : "/tmp";
    path_ = base + "/hiduke-fuzz-XXXXXX";
    check(::mkdtemp(path_.data()) != nullptr, "mkdtemp failed");
  }
  ~FuzzDirectory() { fs::remove_all(path_); }
  FuzzDirectory(const FuzzDirectory&) = delete;
  FuzzDirectory& operator=(const FuzzDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& directory() {
  static const FuzzDirectory directory;
  return directory.path();
}

std::string filler() {
  std::string filler;
  while (filler.size() < kFillerSize) filler += "1999,12,31,\x89\xef\x8b\x63,\"x\"\r\n";
  return filler;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  check(static_cast<bool>(out), "cannot write the note file");
}

// The notes of `date`'s month as read from `content` in memory.
std::array<std::optional<std::string>, 32> notesIn(std::string_view content, std::chrono::year_month_day date) {
  hiduke::MonthScan scan(date.year() / date.month());
  scan.scan(content);
  std::array<std::optional<std::string>, 32> notes{};
  for (size_t day = 1; day < notes.size(); ++day) {
    if (!scan.textFields()[day]) continue;
    const hiduke::StoreResult<std::string> text = hiduke::decodeCp932(hiduke::readNoteText(*scan.textFields()[day]));
    check(text.has_value(), "no CP932 converter");
    notes[day] = hiduke::decodeNoteText(*text);
  }
  return notes;
}

// Reads the file through the store and compares with the content in memory.
void checkReads(const hiduke::NoteStore& store, const std::string& content, std::chrono::year_month_day date) {
  const auto expected = notesIn(content, date);
  const hiduke::StoreResult<hiduke::MonthNotes> notes = store.monthNotes(date.year() / date.month());
  check(notes && notes->days == expected, "the month's notes differ from the content");
  const hiduke::StoreResult<std::optional<std::string>> note = store.note(date);
  check(note && *note == expected[static_cast<unsigned>(date.day())], "note differs from the content");
}

void checkOnlyTheNoteFile() {
  for (const fs::directory_entry& entry : fs::directory_iterator(directory())) {
    check(entry.path().filename() == "hiduke.dat", "a file besides hiduke.dat was left");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string fillerContent = filler();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string content =
      (size > 0 && data[0] % 2 == 1 ? fillerContent.substr(0, kFillerSize - size / 2) : std::string()) + std::string(input);
  const std::string path = directory() + "/hiduke.dat";
  writeFile(path, content);
  hiduke::StoreResult<hiduke::NoteStore> opened = hiduke::NoteStore::open(path);
  check(opened.has_value(), "the store does not open");
  hiduke::NoteStore& store = *opened;

  // The date of the input's last record, else one of no record.
  std::chrono::year_month_day date = std::chrono::year(2002) / 3 / 15;
  hiduke::forEachNoteLine(input, [&](const hiduke::NoteLine& line) {
    if (const std::optional<hiduke::RecordHead> head = hiduke::readRecordHead(line.body)) date = head->date;
  });
  checkReads(store, content, date);

  const hiduke::StoreResult<hiduke::Cp932Encoding> encoded = hiduke::encodeCp932(kNote);
  check(encoded && encoded->unencodable.empty(), "the note cannot be encoded");
  const std::string line = hiduke::formatNoteRecord(date, encoded->bytes);
  const std::string saved = hiduke::editNotes(content, hiduke::NoteEditor::save(date, line));
  check(store.saveNote(date, kNote).has_value(), "save failed");
  check(readFile(path) == saved, "saved file differs from the content edited in memory");
  checkReads(store, saved, date);
  check(*store.note(date) == std::optional<std::string>(kNote), "saved note does not read back");

  check(store.deleteNote(date).has_value(), "delete failed");
  check(readFile(path) == hiduke::editNotes(saved, hiduke::NoteEditor::remove(date)), "file after a delete differs");
  check(!store.monthNotes(date.year() / date.month())->of(date.day()), "deleted day still has a note");
  checkOnlyTheNoteFile();
  return 0;
}
