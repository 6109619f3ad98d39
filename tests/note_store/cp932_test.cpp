#include "note_store/cp932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>

#include <string>
#include <vector>

namespace hiduke {
namespace {

TEST(Cp932Test, EncodesJapaneseAndStoresLookAlikesAsWhatCp932Holds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"会議", "\x89\xef\x8b\x63"},
      {"買い物;10時", "\x94\x83\x82\xa2\x95\xa8;10\x8e\x9e"},
      {"ｱ①", "\xb1\x87\x40"},
      {"〜～", "\x81\x60\x81\x60"},
      {"−－", "\x81\x7c\x81\x7c"},
      {"‖∥", "\x81\x61\x81\x61"},
      {"¬￢", "\x81\xca\x81\xca"},
      {"a,\" \r\n", "a,\" \r\n"},
      {"¥\\表", "\x5c\x5c\x95\x5c"},  // yen sign and backslash alike; 0x5C also ends 表
  };
  for (const auto& [utf8, bytes] : cases) {
    StoreResult<Cp932Encoding> encoded = encodeCp932(utf8);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->bytes, bytes) << utf8;
    EXPECT_TRUE(encoded->unencodable.empty()) << utf8;
  }
}

TEST(Cp932Test, ListsEachCharacterCp932CannotHoldOnceInOrder) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"a😀bé😀cé", {"😀", "é"}},
      {"予定😀", {"😀"}},
      {"ok\xff\xfe" "é", {"\xEF\xBF\xBD", "é"}},  // bytes that are not UTF-8 show as U+FFFD
      {"\xe4\xbc", {"\xEF\xBF\xBD"}},            // cut-off character
      {"\xed\xa0\x80", {"\xEF\xBF\xBD"}},        // encoded surrogate
  };
  for (const auto& [utf8, unencodable] : cases) {
    StoreResult<Cp932Encoding> encoded = encodeCp932(utf8);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->unencodable, unencodable) << utf8;
  }
}

TEST(Cp932Test, DecodesEveryInvalidByteAsOneReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\x89\xef\x8b\x63", "会議"},
      {"\x81\x60\x5c\x7e", "～¥~"},
      {"\x95\x5c\x5c", "表¥"},  // only the single byte 0x5C is the yen sign
      {"\x80", fffd},
      {"\xfd\xfe\xff", fffd + fffd + fffd},
      {"a\x82", "a" + fffd},            // lead byte cut off by the end
      {"\x82 b", fffd + " b"},          // lead byte without a valid second byte
      {"x\x80\x89\xef", "x" + fffd + "会"},
      {"", ""},
  };
  for (const auto& [bytes, utf8] : cases) {
    StoreResult<std::string> decoded = decodeCp932(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, utf8);
  }
}

// The reference: iconv over the whole input, each byte it refuses one
// U+FFFD, and every single byte 0x5C the yen sign.
std::string decodedByIconv(std::string_view cp932) {
  const iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string utf8;
  while (!cp932.empty()) {
    char buffer[8192];
    char* in = const_cast<char*>(cp932.data());
    size_t inLeft = cp932.size();
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const bool stopped = iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) && errno != E2BIG;
    for (const char* p = buffer; p != out; ++p) utf8 += *p == '\\' ? std::string("\xC2\xA5") : std::string(1, *p);
    cp932.remove_prefix(cp932.size() - inLeft);
    if (stopped) {
      utf8 += "\xEF\xBF\xBD";
      cp932.remove_prefix(1);
    }
  }
  iconv_close(cd);
  return utf8;
}

// Decoding by what iconv said of each character once gives what iconv
// gives over the whole text, whatever the bytes.
TEST(Cp932Test, DecodesAsIconvDoesAnyBytes) {
  std::mt19937 random(932);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 64);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int n = length(random); n > 0; --n) bytes.push_back(static_cast<char>(byte(random)));
    ASSERT_EQ(*decodeCp932(bytes), decodedByIconv(bytes)) << ::testing::PrintToString(bytes);
  }
}

// Encoding by what iconv said of each character once gives what iconv
// gives, for every character below U+10000.
TEST(Cp932Test, EncodesAsIconvDoesEveryCharacter) {
  const iconv_t cd = iconv_open("CP932", "UTF-8");
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    std::string utf8 = c < 0x80 ? std::string(1, static_cast<char>(c))
                       : c < 0x800 ? std::string{static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))}
                                   : std::string{static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                                                 static_cast<char>(0x80 | (c & 0x3F))};
    char buffer[8];
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const bool converted = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    const StoreResult<Cp932Encoding> encoded = encodeCp932(utf8);
    ASSERT_EQ(encoded->bytes, converted ? std::string(buffer, out) : "") << static_cast<unsigned>(c);
    ASSERT_EQ(encoded->unencodable, converted ? std::vector<std::string>{} : std::vector<std::string>{utf8});
  }
  iconv_close(cd);
}

}  // namespace
}  // namespace hiduke
