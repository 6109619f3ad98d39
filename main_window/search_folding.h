#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "note_store/cp932.h"
#include "note_store/store_error.h"

namespace hiduke {

// Notes and queries in the form a search compares them: folded, so that
// case and the difference between full and half width do not matter (NFKC,
// then case folding: ＡＢＣ finds abc, ｶﾞ finds ガ), and written in code
// page 932 wherever the folded character has a code there, so that the
// notes of a file take about the file's room. Any other character is
// written as 0xFF and its code point in three bytes of seven bits, each
// with its top bit set. A line break is "\n", which no character holds.
class SearchFolding {
 public:
  // Built once, on first use, from what the store decodes each character
  // of code page 932 to.
  static StoreResult<const SearchFolding*> get();

  // Text as it is compared.
  static QString folded(QStringView text);

  // The length of the folded character whose first byte is `byte`.
  static std::size_t characterLength(unsigned char byte) {
    if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) return 2;
    return byte == kEscape ? 4 : 1;
  }

  // No byte of a stored text folds to more bytes than this.
  std::size_t mostGrowth() const { return mostGrowth_; }

  // Writes the stored text `cp932` (";" for a line break) folded at `out`,
  // which has room for mostGrowth() bytes a byte. The end of what it wrote,
  // and whether that differs from `cp932` beyond its line breaks.
  struct Folded {
    char* end;
    bool changed;
  };
  Folded fold(std::string_view cp932, char* out) const;

  // The bytes of `text` folded, as a note holding it holds them: a
  // character saved as another's code (〜 as ～, − as －, \ as ¥) is
  // searched as that one.
  std::string foldQuery(QStringView text) const;

 private:
  static constexpr unsigned char kEscape = 0xFF;
  // What a character of code page 932 folds to: nothing (no such
  // character), itself, or `length` bytes at `offset` of replacements_.
  struct Entry {
    enum Kind : std::uint8_t { kNone, kSame, kReplaced } kind = kNone;
    std::uint8_t length = 0;
    std::uint32_t offset = 0;
  };

  SearchFolding(Cp932Encoder encoder, Cp932Decoder decoder) : encoder_(encoder), decoder_(decoder) {}
  void build();
  Entry entryOf(std::string_view cp932);
  void encode(QStringView folded, std::string& out) const;
  // A character followed by voiced or semi-voiced marks, which NFKC may
  // join into one: folded as a whole.
  char* foldJoined(std::string_view cp932, char* out) const;

  Cp932Encoder encoder_;
  Cp932Decoder decoder_;
  std::array<Entry, 256> singles_{};
  std::vector<Entry> pairs_;  // by first byte << 8 | second byte
  Entry replacement_;        // of a byte that starts no character
  std::string replacements_;
  std::unordered_map<char32_t, std::uint16_t> codes_;  // each character's code in code page 932
  std::size_t mostGrowth_ = 4;
};

}  // namespace hiduke
