#include "note_store/cp932.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace hiduke
