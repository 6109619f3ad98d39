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
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of `in` as it can and appends the result to `out`.
  // Returns 0 when all of `in` was converted, else the errno that stopped it
  // (EILSEQ or EINVAL) with `in` advanced to the offending byte.
  int Convert(std::string_view& in, std::string& out) {
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    while (in_left > 0) {
      char buffer[4096];
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      int error = result == static_cast<size_t>(-1) ? errno : 0;
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (error != 0 && error != E2BIG) {
        in.remove_prefix(in.size() - in_left);
        return error;
      }
    }
    in = in.substr(in.size());
    return 0;
  }

 private:
  iconv_t cd_;
};

// Encoding serves only saves, decoding only reads; the store adds the path.
StoreError ConverterMissing(StoreOperation operation) {
  return StoreError{.kind = StoreErrorKind::kConverterMissing, .operation = operation, .error_number = errno};
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0.
size_t Utf8SequenceLength(std::string_view s) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  unsigned char lead = byte(0);
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

StoreResult<Cp932Encoding> EncodeCp932(std::string_view utf8) {
  Converter converter("CP932", "UTF-8");
  if (!converter.ok()) return ConverterMissing(StoreOperation::kSave);
  Cp932Encoding encoding;
  encoding.bytes.reserve(utf8.size());
  while (converter.Convert(utf8, encoding.bytes) != 0) {
    size_t length = Utf8SequenceLength(utf8);
    std::string character(length == 0 ? kReplacementCharacter : utf8.substr(0, length));
    utf8.remove_prefix(length == 0 ? 1 : length);
    auto& seen = encoding.unencodable;
    if (std::find(seen.begin(), seen.end(), character) == seen.end()) {
      seen.push_back(std::move(character));
    }
  }
  return encoding;
}

StoreResult<std::string> DecodeCp932(std::string_view cp932) {
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) return ConverterMissing(StoreOperation::kRead);
  std::string utf8;
  utf8.reserve(cp932.size() * 3 / 2);
  while (converter.Convert(cp932, utf8) != 0) {
    utf8 += kReplacementCharacter;
    cp932.remove_prefix(1);
  }
  // iconv gives a backslash only for the single byte 0x5C (the byte inside a
  // double-byte character becomes part of that character's UTF-8).
  if (utf8.find('\\') == std::string::npos) return utf8;
  std::string with_yen;
  with_yen.reserve(utf8.size() + 16);
  for (char c : utf8) {
    if (c == '\\') {
      with_yen += kYenSign;
    } else {
      with_yen.push_back(c);
    }
  }
  return with_yen;
}

}  // namespace hiduke
