#include "note_store/cp932.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>


namespace hiduke {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kYenSign = "\xC2\xA5";                   // U+00A5

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)), openError_(ok() ? 0 : openFailure(errno)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  int openError() const { return openError_; }

  // glibc says EINVAL also when it could not open its conversion modules
  // for want of file descriptors: the message then names that cause.
  static int openFailure(int errorNumber) {
    if (errorNumber != EINVAL) return errorNumber;
    const int probe = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (probe < 0) return errno == EMFILE || errno == ENFILE ? errno : errorNumber;
    ::close(probe);
    return errorNumber;
  }

  // Converts as much of `in` as it can and appends the result to `out`.
  // Returns 0 when all of `in` was converted, else the errno that stopped it
  // (EILSEQ or EINVAL) with `in` advanced to the offending byte.
  int convert(std::string_view& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a fresh start, whatever the last call left
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    while (inLeft > 0) {
      char buffer[4096];
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      const size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      const int error = result == static_cast<size_t>(-1) ? errno : 0;
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      if (error != 0 && error != E2BIG) {
        in.remove_prefix(in.size() - inLeft);
        return error;
      }
    }
    in = in.substr(in.size());
    return 0;
  }

 private:
  iconv_t cd_;
  int openError_;
};

// Encoding serves only saves, decoding only reads; the store adds the path.
StoreError converterMissing(StoreOperation operation, int errorNumber) {
  return StoreError{.kind = StoreErrorKind::kConverterMissing, .operation = operation, .errorNumber = errorNumber};
}

// What iconv makes of each character code page 932 has, one byte or two,
// asked once and kept, and what it makes of each such character back:
// converting a file of a million notes then takes a look-up a character
// instead of iconv's work. A byte that starts no character has no entry;
// the single byte 0x5C is the yen sign, as in Japanese text and in the
// fonts made for code page 932.
class Cp932Characters {
 public:
  // kConverterMissing when iconv cannot convert CP932 now; a failure is
  // not kept, as it may pass (all file descriptors were in use).
  static StoreResult<const Cp932Characters*> get(StoreOperation operation) {
    // Once made, the table stays: a thread that has it asks no lock again.
    thread_local const Cp932Characters* made = nullptr;
    if (made != nullptr) return made;
    static std::mutex mutex;
    static std::unique_ptr<Cp932Characters> characters;
    const std::lock_guard lock(mutex);
    if (!characters) {
      Converter decoder("UTF-8", "CP932");
      if (!decoder.ok()) return converterMissing(operation, decoder.openError());
      Converter encoder("CP932", "UTF-8");
      if (!encoder.ok()) return converterMissing(operation, encoder.openError());
      characters = make(decoder, encoder);
    }
    made = characters.get();
    return made;
  }

  // The bytes iconv makes of a character below U+10000 that code page 932
  // decodes to (the byte below 0x100, else lead and trail byte); 0 for any
  // other (a look-alike, one it lacks): iconv is asked then.
  std::uint16_t code(char32_t character) const { return codes_[character]; }
  const std::uint16_t* codes() const { return codes_.data(); }

  // A character's UTF-8 in the low three bytes (in memory order) and its
  // length in the high one; 0 for none.
  std::uint32_t single(unsigned char byte) const { return entries_[byte]; }
  std::uint32_t pair(unsigned char lead, unsigned char trail) const { return entries_[256 + lead * 256 + trail]; }

 private:
  static std::uint32_t entryOf(std::string_view utf8) {
    std::uint32_t entry = static_cast<std::uint32_t>(utf8.size()) << 24;
    for (size_t i = 0; i < utf8.size(); ++i) entry |= std::uint32_t{static_cast<unsigned char>(utf8[i])} << (8 * i);
    return entry;
  }

  static std::unique_ptr<Cp932Characters> make(Converter& converter, Converter& encoder) {
    auto characters = std::make_unique<Cp932Characters>();
    const auto learn = [&](std::uint32_t& entry, std::string_view bytes) {
      std::string utf8;
      if (converter.convert(bytes, utf8) == 0 && utf8.size() <= 3) entry = entryOf(utf8);
    };
    for (int byte = 0x80; byte < 256; ++byte) {
      const char lead = static_cast<char>(byte);
      learn(characters->entries_[static_cast<size_t>(byte)], std::string_view(&lead, 1));
      if (characters->entries_[static_cast<size_t>(byte)] != 0) continue;  // a character of its own
      for (int trail = 0; trail < 256; ++trail) {
        const char two[2] = {lead, static_cast<char>(trail)};
        learn(characters->entries_[256 + static_cast<size_t>(byte) * 256 + static_cast<size_t>(trail)],
              std::string_view(two, 2));
      }
    }
    characters->entries_['\\'] = entryOf(kYenSign);
    const auto learnCode = [&](std::uint32_t entry) {
      const auto length = static_cast<std::size_t>(entry >> 24);
      if (length == 0) return;
      const char utf8[3] = {static_cast<char>(entry), static_cast<char>(entry >> 8), static_cast<char>(entry >> 16)};
      const char32_t character = codePoint(std::string_view(utf8, length));
      std::string_view in(utf8, length);
      std::string bytes;
      if (characters->codes_[character] != 0 || encoder.convert(in, bytes) != 0 || bytes.empty() || bytes.size() > 2) return;
      const auto first = static_cast<unsigned char>(bytes[0]);
      characters->codes_[character] =
          static_cast<std::uint16_t>(bytes.size() == 1 ? first : first << 8 | static_cast<unsigned char>(bytes[1]));
    };
    for (std::uint32_t ascii = 1; ascii < 0x80; ++ascii) learnCode(std::uint32_t{1} << 24 | ascii);
    for (const std::uint32_t entry : characters->entries_) learnCode(entry);
    return characters;
  }

  std::array<std::uint32_t, 256 + 256 * 256> entries_{};
  std::array<std::uint16_t, 0x10000> codes_{};
};

}  // namespace

StoreResult<Cp932Encoder> Cp932Encoder::open() {
  StoreResult<const Cp932Characters*> characters = Cp932Characters::get(StoreOperation::kSave);
  if (!characters) return std::move(characters).error();
  return Cp932Encoder((*characters)->codes());
}

StoreResult<void> Cp932Encoder::appendUncommon(std::string_view character, std::string& out,
                                               std::vector<std::string>& unencodable) const {
  // Opened again after a failure, which may pass (all file descriptors in use).
  thread_local std::unique_ptr<Converter> converter;
  if (!converter || !converter->ok()) converter = std::make_unique<Converter>("CP932", "UTF-8");
  if (!converter->ok()) return converterMissing(StoreOperation::kSave, converter->openError());
  std::string_view in = character;
  const std::size_t before = out.size();
  if (utf8SequenceLength(character) == character.size() && converter->convert(in, out) == 0) return {};
  out.resize(before);
  std::string left(utf8SequenceLength(character) == 0 ? kReplacementCharacter : character);
  if (std::find(unencodable.begin(), unencodable.end(), left) == unencodable.end()) unencodable.push_back(std::move(left));
  return {};
}

StoreResult<void> Cp932Encoder::append(std::string_view utf8, std::string& out,
                                       std::vector<std::string>& unencodable) const {
  // No character takes more bytes in code page 932 than in UTF-8.
  out.reserve(out.size() + utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    StoreResult<std::size_t> taken = appendCharacter(utf8.substr(i), out, unencodable);
    if (!taken) return std::move(taken).error();
    i += *taken;
  }
  return {};
}

StoreResult<Cp932Encoding> encodeCp932(std::string_view utf8) {
  StoreResult<Cp932Encoder> encoder = Cp932Encoder::open();
  if (!encoder) return std::move(encoder).error();
  Cp932Encoding encoding;
  if (StoreResult<void> appended = encoder->append(utf8, encoding.bytes, encoding.unencodable); !appended) {
    return std::move(appended).error();
  }
  return encoding;
}

StoreResult<Cp932Decoder> Cp932Decoder::open() {
  StoreResult<const Cp932Characters*> characters = Cp932Characters::get(StoreOperation::kRead);
  if (!characters) return std::move(characters).error();
  return Cp932Decoder(*characters);
}

char* Cp932Decoder::decode(std::string_view cp932, char* out) const {
  const auto& characters = *static_cast<const Cp932Characters*>(characters_);
  // Each character is written as four bytes in place, the last overwritten
  // by the next.
  static const std::uint32_t kReplacement = 0x03BDBFEF;  // U+FFFD, three bytes
  const auto* bytes = reinterpret_cast<const unsigned char*>(cp932.data());
  const size_t size = cp932.size();
  for (size_t i = 0; i < size;) {
    const unsigned char byte = bytes[i];
    if (byte < 0x80 && byte != '\\') {  // most of a note file
      *out++ = static_cast<char>(byte);
      ++i;
      continue;
    }
    std::uint32_t character = characters.single(byte);
    size_t taken = 1;
    if (character == 0 && i + 1 < size) {
      character = characters.pair(byte, bytes[i + 1]);
      taken = 2;
    }
    if (character == 0) {
      character = kReplacement;
      taken = 1;
    }
    const unsigned char utf8Bytes[4] = {static_cast<unsigned char>(character), static_cast<unsigned char>(character >> 8),
                                        static_cast<unsigned char>(character >> 16), 0};
    std::memcpy(out, utf8Bytes, sizeof utf8Bytes);
    out += character >> 24;
    i += taken;
  }
  return out;
}

StoreResult<std::string> decodeCp932(std::string_view cp932) {
  StoreResult<Cp932Decoder> decoder = Cp932Decoder::open();
  if (!decoder) return std::move(decoder).error();
  std::string utf8(Cp932Decoder::room(cp932.size()), '\0');
  utf8.resize(static_cast<size_t>(decoder->decode(cp932, utf8.data()) - utf8.data()));
  return utf8;
}

}  // namespace hiduke
