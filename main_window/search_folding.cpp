#include "main_window/search_folding.h"

#include <QList>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace hiduke {

namespace {

bool isLeadByte(unsigned byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The half-width voiced and semi-voiced marks, which NFKC joins to the kana
// before them.
bool isJoiningMark(unsigned char byte) { return byte == 0xDE || byte == 0xDF; }

}  // namespace

StoreResult<const SearchFolding*> SearchFolding::get() {
  static std::unique_ptr<SearchFolding> folding;
  if (!folding) {
    StoreResult<Cp932Encoder> encoder = Cp932Encoder::open();
    if (!encoder) return std::move(encoder).error();
    StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
    if (!decoder) return std::move(decoder).error();
    auto built = std::unique_ptr<SearchFolding>(new SearchFolding(*encoder, *decoder));
    built->build();
    folding = std::move(built);
  }
  return folding.get();
}

QString SearchFolding::folded(QStringView text) {
  return text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

void SearchFolding::build() {
  // The characters as the store decodes them: a byte that is a character
  // of its own, else a pair of bytes, else a byte that starts none.
  const auto characterOf = [this](std::string_view cp932) -> std::optional<char32_t> {
    char utf8[Cp932Decoder::room(2) + 1];
    const char* end = decoder_.decode(cp932, utf8);
    const QList<uint> characters = QString::fromUtf8(utf8, end - utf8).toUcs4();
    if (characters.size() != 1 || characters[0] == 0xFFFD) return std::nullopt;
    return characters[0];
  };
  std::vector<std::pair<std::string, char32_t>> characters;
  for (unsigned byte = 0; byte < 0x100; ++byte) {
    const std::string code(1, static_cast<char>(byte));
    if (const std::optional<char32_t> character = characterOf(code)) {
      characters.emplace_back(code, *character);
      if (byte != kEscape) codes_.try_emplace(*character, static_cast<std::uint16_t>(byte));
    }
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!isLeadByte(lead)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      if (const std::optional<char32_t> character = characterOf(code)) {
        characters.emplace_back(code, *character);
        codes_.try_emplace(*character, static_cast<std::uint16_t>(lead << 8 | trail));
      }
    }
  }
  pairs_.resize(0x10000);
  for (const auto& [code, character] : characters) {
    const Entry entry = entryOf(code);
    const auto length = static_cast<std::size_t>(entry.kind == Entry::kSame ? code.size() : entry.length);
    mostGrowth_ = std::max(mostGrowth_, (length + code.size() - 1) / code.size());
    const auto first = static_cast<unsigned char>(code[0]);
    (code.size() == 1 ? singles_[first] : pairs_[first << 8 | static_cast<unsigned char>(code[1])]) = entry;
  }
  replacement_ = entryOf({});
}

SearchFolding::Entry SearchFolding::entryOf(std::string_view cp932) {
  char utf8[Cp932Decoder::room(2) + 1];
  const char* end = cp932.empty() ? utf8 : decoder_.decode(cp932, utf8);
  const QString text = cp932.empty() ? QString(QChar::ReplacementCharacter) : QString::fromUtf8(utf8, end - utf8);
  std::string bytes;
  encode(folded(text), bytes);
  if (bytes == cp932) return Entry{.kind = Entry::kSame};
  const Entry entry{.kind = Entry::kReplaced,
                    .length = static_cast<std::uint8_t>(bytes.size()),
                    .offset = static_cast<std::uint32_t>(replacements_.size())};
  replacements_ += bytes;
  return entry;
}

void SearchFolding::encode(QStringView folded, std::string& out) const {
  for (const uint character : folded.toUcs4()) {
    if (character == '\n') {
      out += '\n';
    } else if (const auto code = codes_.find(character); code != codes_.end()) {
      if (code->second > 0xFF) out += static_cast<char>(code->second >> 8);
      out += static_cast<char>(code->second & 0xFF);
    } else {
      out += static_cast<char>(kEscape);
      for (const int shift : {14, 7, 0}) out += static_cast<char>(0x80 | ((character >> shift) & 0x7F));
    }
  }
}

SearchFolding::Folded SearchFolding::fold(std::string_view cp932, char* out) const {
  const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
  const auto* const end = p + cp932.size();
  bool changed = false;
  while (p != end) {
    if (*p == ';') {
      *out++ = '\n';
      ++p;
      continue;
    }
    const Entry* entry = &singles_[*p];
    std::size_t taken = 1;
    if (entry->kind == Entry::kNone && p + 1 != end) {
      entry = &pairs_[static_cast<std::size_t>(*p) << 8 | p[1]];
      taken = 2;
    }
    if (entry->kind == Entry::kNone) {
      entry = &replacement_;
      taken = 1;
    }
    if (p + taken != end && isJoiningMark(p[taken])) {
      const unsigned char* joinedEnd = p + taken;
      while (joinedEnd != end && isJoiningMark(*joinedEnd)) ++joinedEnd;
      const std::string_view joined(reinterpret_cast<const char*>(p), static_cast<std::size_t>(joinedEnd - p));
      char* const start = out;
      out = foldJoined(joined, out);
      changed = changed || std::string_view(start, static_cast<std::size_t>(out - start)) != joined;
      p = joinedEnd;
      continue;
    }
    if (entry->kind == Entry::kSame) {
      *out++ = static_cast<char>(*p);
      if (taken == 2) *out++ = static_cast<char>(p[1]);
    } else {
      std::memcpy(out, replacements_.data() + entry->offset, entry->length);
      out += entry->length;
      changed = true;
    }
    p += taken;
  }
  return {out, changed};
}

char* SearchFolding::foldJoined(std::string_view cp932, char* out) const {
  std::string utf8(Cp932Decoder::room(cp932.size()), '\0');
  const char* end = decoder_.decode(cp932, utf8.data());
  std::string bytes;
  encode(folded(QString::fromUtf8(utf8.data(), end - utf8.data())), bytes);
  std::memcpy(out, bytes.data(), bytes.size());
  return out + bytes.size();
}

std::string SearchFolding::foldQuery(QStringView text) const {
  std::string bytes;
  std::string cp932;
  std::vector<std::string> unencodable;
  // A query with a character the note file cannot hold is found nowhere,
  // as it is.
  if (encoder_.append(text.toString().toStdString(), cp932, unencodable) && unencodable.empty()) {
    std::string utf8(Cp932Decoder::room(cp932.size()), '\0');
    const char* end = decoder_.decode(cp932, utf8.data());
    encode(folded(QString::fromUtf8(utf8.data(), end - utf8.data())), bytes);
  } else {
    encode(folded(text), bytes);
  }
  return bytes;
}

}  // namespace hiduke
