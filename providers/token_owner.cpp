#include "providers/token_owner.h"

#include <algorithm>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace providers {
namespace {

constexpr qsizetype kItemPrefixLength = 4;  // "S/N "
constexpr std::size_t kLengthFieldSize = 4;

OwnerFields Failed() {
  return {OwnerReadFailed(), OwnerReadFailed()};
}

// Hexadecimal text up to its NUL, as strtoul reads it; 0 when none.
uint32_t LengthField(const std::vector<unsigned char>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  text.resize(std::min(text.find('\0'), text.size()));
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16) & 0xFFFFFFFFu);
}

}  // namespace

QString NoTokensItem() {
  return QStringLiteral("Нет установленных токенов");
}

QString OwnerReadFailed() {
  return QStringLiteral("Ошибка получения данных");
}

OwnerFields ParseOwnerRecord(std::string_view record) {
  const auto json = nlohmann::json::parse(record, nullptr, false);
  if (!json.is_object()) return Failed();
  const auto member = [&json](const char* name) -> const nlohmann::json* {
    const auto found = json.find(name);
    return found != json.end() && found->is_string() ? &*found : nullptr;
  };
  const auto* surname = member("surname");
  const auto* given_name = member("givenName");
  const auto* name = member("name");
  if (surname == nullptr || given_name == nullptr || name == nullptr) return Failed();
  return {QString::fromStdString(surname->get<std::string>() + " " +
                                 given_name->get<std::string>()),
          QString::fromStdString(name->get<std::string>())};
}

OwnerFields ReadOwner(Zorvik2TokenAccess& token, const QString& serial) {
  const std::string narrow = serial.toStdString();
  const auto length = token.ReadData(narrow, kOwnerLengthOffset, kLengthFieldSize);
  if (length.status != kZorvikSuccess) return Failed();
  const uint32_t size = LengthField(length.bytes);
  if (size == 0) return Failed();
  const auto record = token.ReadData(narrow, kOwnerRecordOffset, size);
  if (record.status != kZorvikSuccess) return Failed();
  return ParseOwnerRecord(std::string_view(reinterpret_cast<const char*>(record.bytes.data()),
                                           record.bytes.size()));
}

QStringList TokenListItems(Zorvik2TokenAccess& token) {
  const auto list = token.ListSerials();
  if (list.status != kZorvikSuccess) return {NoTokensItem()};
  QStringList items;
  for (const std::string& serial : list.serials)
    items << QStringLiteral("S/N ") + QString::fromStdString(serial);
  return items;
}

QString SerialOfItem(const QString& item) {
  return item.mid(kItemPrefixLength);
}

}  // namespace providers
