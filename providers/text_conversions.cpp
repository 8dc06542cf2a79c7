#include "providers/text_conversions.h"

#include <array>
#include <string_view>

namespace providers {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeReverseTable() {
  std::array<signed char, 256> table{};
  for (auto& entry : table) entry = -1;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
  return table;
}

constexpr std::array<signed char, 256> kReverse = MakeReverseTable();

// The space, а..я with ё after е, then А..Я with Ё after Е.
constexpr std::u16string_view kCyrillicAlphabet =
    u" абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";

constexpr std::array<const char*, 67> kTransliterationTable = {
    " ",  "a",  "b",  "v",  "g",    "d",  "e", "e", "zh", "z",  "i",  "y",  "k",  "l",
    "m",  "n",  "o",  "p",  "r",    "s",  "t", "u", "f",  "kh", "ts", "ch", "sh", "shch",
    "''", "y",  "'",  "e",  "yu",   "ya", "A", "B", "V",  "G",  "D",  "E",  "E",  "Zh",
    "Z",  "I",  "Y",  "K",  "L",    "M",  "N", "O", "P",  "R",  "S",  "T",  "U",  "F",
    "Kh", "Ts", "Ch", "Sh", "Shch", "''", "Y", "'", "E",  "Yu", "Ya"};

static_assert(kCyrillicAlphabet.size() == kTransliterationTable.size());

}  // namespace

std::string Base64Encode(const unsigned char* bytes, std::size_t count) {
  std::string text;
  text.reserve(4 * ((count + 2) / 3));
  for (std::size_t i = 0; i < count; i += 3) {
    uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
    if (i + 1 < count) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < count) group |= bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) text.push_back(kAlphabet[(group >> shift) & 63]);
  }
  const std::size_t padding = (3 - count % 3) % 3;
  for (std::size_t i = 0; i < padding; ++i) text[text.size() - 1 - i] = '=';
  return text;
}

std::optional<DecodedBytes> Base64Decode(const char* text, std::size_t length) {
  if (length % 4 != 0) return std::nullopt;
  std::size_t decoded = length / 4 * 3;
  if (length > 0 && text[length - 1] == '=') --decoded;
  if (length > 1 && text[length - 2] == '=') --decoded;
  DecodedBytes result;
  result.bytes.reserve(decoded + 1);
  for (std::size_t i = 0; i < length; i += 4) {
    uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const auto c = static_cast<unsigned char>(text[i + j]);
      // Outside the alphabet counts as zero bits, like "=".
      const int value = c == '=' || kReverse[c] < 0 ? 0 : kReverse[c];
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    for (int shift = 16; shift >= 0 && result.bytes.size() < decoded; shift -= 8)
      result.bytes.push_back(static_cast<unsigned char>(group >> shift));
  }
  result.bytes.push_back(0);
  return result;
}

std::string Transliterate(const QString& name) {
  std::string latin;
  for (QChar c : name) {
    const auto at = kCyrillicAlphabet.find(c.unicode());
    if (at != std::u16string_view::npos) latin += kTransliterationTable[at];
  }
  return latin;
}

}  // namespace providers
