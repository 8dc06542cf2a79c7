#include "providers/text_conversions.h"

#include <gtest/gtest.h>

namespace {

using providers::Base64Decode;
using providers::Base64Encode;
using providers::Transliterate;

std::string Encode(const std::string& bytes) {
  return Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Base64Test, EncodesWithPaddingByRemainder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"A", "QQ=="},
      {"AB", "QUI="},
      {"ABC", "QUJD"},
      {std::string("\xff\xfe\xfd\x00", 4), "//79AA=="},
      {"foobar", "Zm9vYmFy"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Encode(bytes), text) << text;
}

TEST(Base64Test, DecodesAndAppendsTerminator) {
  auto one = Base64Decode("QQ==", 4);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->size(), 1u);
  EXPECT_EQ(one->bytes, (std::vector<unsigned char>{0x41, 0x00}));

  auto empty = Base64Decode("", 0);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), 0u);

  EXPECT_FALSE(Base64Decode("QUJDRE", 6));
  EXPECT_FALSE(Base64Decode("QQ=", 3));
}

TEST(Base64Test, RoundTripsEveryByteValueAndLength) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (std::size_t length = 0; length <= all.size(); length += 37) {
    const std::string bytes = all.substr(0, length);
    const std::string text = Encode(bytes);
    EXPECT_EQ(text.size(), 4 * ((length + 2) / 3));
    auto decoded = Base64Decode(text.data(), text.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::string(decoded->bytes.begin(), decoded->bytes.end() - 1), bytes);
  }
}

TEST(Base64Test, CharactersOutsideTheAlphabetCountAsZeroBits) {
  auto decoded = Base64Decode("QU*D", 4);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->size(), 3u);
  EXPECT_EQ(decoded->bytes[0], 0x41);
}

TEST(TransliterateTest, ProviderNamesAndDroppedCharacters) {
  const std::vector<std::pair<QString, std::string>> cases = {
      {QStringLiteral("Авест"), "Avest"},
      {QStringLiteral("Зорвик"), "Zorvik"},
      {QStringLiteral("Зорвик2"), "Zorvik"},
      {QStringLiteral("Щука ёж, Ъ!"), "Shchuka ezh ''"},
      {QStringLiteral("ЖХЦЧШЮЯЁЙЫЬЭ"), "ZhKhTsChShYuYaEYY'E"},
      {QStringLiteral("abc-1"), ""},
      {QString(), ""},
  };
  for (const auto& [name, latin] : cases) EXPECT_EQ(Transliterate(name), latin) << latin;
}

}  // namespace
