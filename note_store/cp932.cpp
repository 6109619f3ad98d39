#include "note_store/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace hiduke {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kYenSign = "\xC2\xA5";                   // U+00A5

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)), openError_(ok() ? 0 : errno) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  int openError() const { return openError_; }

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

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0.
size_t utf8SequenceLength(std::string_view s) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  const unsigned char lead = byte(0);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

StoreResult<Cp932Encoding> encodeCp932(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  if (!converter.ok()) return converterMissing(StoreOperation::kSave, converter.openError());
  Cp932Encoding encoding;
  encoding.bytes.reserve(utf8.size());
  while (converter.convert(utf8, encoding.bytes) != 0) {
    const size_t length = utf8SequenceLength(utf8);
    std::string character(length == 0 ? kReplacementCharacter : utf8.substr(0, length));
    utf8.remove_prefix(length == 0 ? 1 : length);
    auto& seen = encoding.unencodable;
    if (std::find(seen.begin(), seen.end(), character) == seen.end()) seen.push_back(std::move(character));
  }
  return encoding;
}

StoreResult<std::string> decodeCp932(std::string_view cp932) {
  thread_local Converter converter("UTF-8", "CP932");
  if (!converter.ok()) return converterMissing(StoreOperation::kRead, converter.openError());
  std::string utf8;
  utf8.reserve(cp932.size() * 3 / 2);
  while (converter.convert(cp932, utf8) != 0) {
    utf8 += kReplacementCharacter;
    cp932.remove_prefix(1);
  }
  // iconv gives a backslash only for the single byte 0x5C (the byte inside a
  // double-byte character becomes part of that character's UTF-8).
  if (utf8.find('\\') == std::string::npos) return utf8;
  std::string withYen;
  withYen.reserve(utf8.size() + 16);
  for (const char c : utf8) {
    if (c == '\\') {
      withYen += kYenSign;
    } else {
      withYen.push_back(c);
    }
  }
  return withYen;
}

}  // namespace hiduke
