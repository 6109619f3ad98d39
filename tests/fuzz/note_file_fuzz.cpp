// libFuzzer target for the note file on disk. The input is written as
// hiduke.dat in a real directory (in /dev/shm when there is one: fsync costs
// nothing there) and read and rewritten through NoteStore, as the window
// does. When the first byte is odd, the input comes after nearly 64 KiB of
// records, so that the end of the first piece the file is read in falls in
// the middle of the input.
// Besides crashes and sanitizer reports it checks that
//  - the marks of a month and the note of a date read from the file agree
//    with the content read in memory;
//  - a save replaces the records of its date in their places (or appends
//    one) and keeps every other line byte for byte, and its note reads back;
//  - a delete drops the records of its date and keeps every other line;
//  - nothing but hiduke.dat is left in the directory.

#include <sys/stat.h>
#include <unistd.h>

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
#include "note_store/note_store.h"

namespace {

namespace fs = std::filesystem;
using hiduke::NoteDate;

constexpr size_t kFillerSize = size_t{1} << 16;
constexpr char kNote[] = "予定, \"引用\"\n二行目 ¥";

void Check(bool condition, const char* what) {
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
    Check(::mkdtemp(path_.data()) != nullptr, "mkdtemp failed");
  }
  ~FuzzDirectory() { fs::remove_all(path_); }
  FuzzDirectory(const FuzzDirectory&) = delete;
  FuzzDirectory& operator=(const FuzzDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& Directory() {
  static const FuzzDirectory directory;
  return directory.path();
}

std::string Filler() {
  std::string filler;
  while (filler.size() < kFillerSize) filler += "1999,12,31,\x89\xef\x8b\x63,\"x\"\r\n";
  return filler;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(out), "cannot write the note file");
}

// The note of `date` as read from `content` in memory.
std::optional<std::string> NoteIn(std::string_view content, const NoteDate& date) {
  std::optional<std::string> stored = hiduke::LastNoteIn(content, date);
  if (!stored) return std::nullopt;
  hiduke::StoreResult<std::string> text = hiduke::DecodeCp932(*stored);
  Check(text.has_value(), "no CP932 converter");
  return hiduke::DecodeNoteText(*text);
}

// Reads the file through the store and compares with the content in memory.
void CheckReads(const hiduke::NoteStore& store, const std::string& content, const NoteDate& date) {
  hiduke::StoreResult<std::bitset<32>> marks = store.MarkedDays(date.year, date.month);
  Check(marks && *marks == hiduke::MarkedDaysIn(content, date.year, date.month), "marks differ from the content");
  hiduke::StoreResult<std::optional<std::string>> note = store.ReadNote(date);
  Check(note && *note == NoteIn(content, date), "note differs from the content");
}

void CheckOnlyTheNoteFile() {
  for (const fs::directory_entry& entry : fs::directory_iterator(Directory())) {
    Check(entry.path().filename() == "hiduke.dat", "a file besides hiduke.dat was left");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string filler = Filler();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string content =
      (size > 0 && data[0] % 2 == 1 ? filler.substr(0, kFillerSize - size / 2) : std::string()) + std::string(input);
  const std::string path = Directory() + "/hiduke.dat";
  WriteFile(path, content);
  hiduke::NoteStore store(path);

  // The date of the input's last record that a save can write, else one of
  // no record.
  NoteDate date{2002, 3, 15};
  hiduke::ForEachNoteLine(input, [&](const hiduke::NoteLine& line) {
    std::optional<hiduke::NoteRecord> record = hiduke::ReadNoteRecord(line.body);
    if (record && record->date.month >= 1 && record->date.month <= 12 && record->date.day >= 1 &&
        record->date.day <= 31) {
      date = record->date;
    }
  });
  CheckReads(store, content, date);

  hiduke::StoreResult<hiduke::Cp932Encoding> encoded = hiduke::EncodeCp932(kNote);
  Check(encoded && encoded->unencodable.empty(), "the note cannot be encoded");
  const std::string saved = hiduke::SaveNoteIn(content, date, hiduke::FormatNoteRecord(date, encoded->bytes));
  Check(store.SaveNote(date, kNote).has_value(), "save failed");
  Check(ReadFile(path) == saved, "saved file differs from the content edited in memory");
  CheckReads(store, saved, date);
  Check(*store.ReadNote(date) == std::optional<std::string>(kNote), "saved note does not read back");

  Check(store.DeleteNote(date).has_value(), "delete failed");
  Check(ReadFile(path) == hiduke::DeleteNoteIn(saved, date), "file after a delete differs");
  Check(!store.MarkedDays(date.year, date.month)->test(static_cast<size_t>(date.day)), "deleted day still marked");
  CheckOnlyTheNoteFile();
  return 0;
}
