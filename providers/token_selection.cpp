#include "providers/token_selection.h"

#include <nlohmann/json.hpp>

#include "providers/token_dialog.h"

namespace providers {

QString RequesterLine(const std::string& origin) {
  if (origin.empty()) return QStringLiteral("Запрос от программы на этом компьютере");
  return QStringLiteral("Запрос от: %1").arg(QString::fromStdString(origin));
}

QStringList TokenItems(TokenComponents& components) {
  const ZorvikRecord list(components, components.GetSerialNumber());
  if (!list.ok() || list->serials == nullptr) return {kNoTokensItem};
  QStringList items;
  for (int32_t i = 0; i < list->serial_count; ++i)
    if (list->serials[i] != nullptr)
      items.push_back(QStringLiteral("S/N ") + QString::fromUtf8(list->serials[i]));
  return items;
}

std::string SerialOfTokenText(const QString& text) {
  return text.size() < 4 ? std::string() : text.mid(4).toStdString();
}

OwnerFields OwnerFieldsOf(std::string_view record) {
  const auto parsed = nlohmann::json::parse(record, nullptr, false);
  const auto text = [&](const char* name) -> const std::string* {
    if (!parsed.is_object()) return nullptr;
    const auto found = parsed.find(name);
    return found != parsed.end() && found->is_string() ? found->get_ptr<const std::string*>()
                                                       : nullptr;
  };
  const std::string* surname = text("surname");
  const std::string* given_name = text("givenName");
  const std::string* name = text("name");
  if (surname == nullptr || given_name == nullptr || name == nullptr)
    return {kOwnerReadError, kOwnerReadError};
  return {QString::fromStdString(*surname + " " + *given_name), QString::fromStdString(*name)};
}

OwnerFields ReadOwnerFields(TokenComponents& components, const std::string& serial) {
  const ZorvikRecord field(components,
                           components.ReadData(serial.c_str(), kOwnerLengthAt, kLengthFieldSize));
  const std::optional<int32_t> length = field.ok() ? ParseLengthField(field) : std::nullopt;
  if (!length || *length == 0) return {kOwnerReadError, kOwnerReadError};
  const ZorvikRecord record(components, components.ReadData(serial.c_str(),
                                                            kOwnerLengthAt + kLengthFieldSize,
                                                            *length));
  if (!record.ok()) return {kOwnerReadError, kOwnerReadError};
  return OwnerFieldsOf(std::string_view(reinterpret_cast<const char*>(record.data()),
                                        static_cast<std::size_t>(record.size())));
}

std::optional<int32_t> ParseLengthField(const ZorvikRecord& field) {
  int32_t value = 0;
  int digits = 0;
  for (int32_t i = 0; i < field.size() && field.data()[i] != '\0'; ++i, ++digits) {
    const char c = static_cast<char>(field.data()[i]);
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0 || digits == kLengthFieldSize) return std::nullopt;
    value = value * 16 + digit;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

}  // namespace providers
