#pragma once
// What the token dialog and the password change dialog show of the Zorvik2
// tokens: the list of connected tokens and the owner of one of them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

#include "providers/token_components.h"

namespace providers {

inline const QString kNoTokensItem = QStringLiteral("Нет установленных токенов");
inline const QString kOwnerReadError = QStringLiteral("Ошибка получения данных");
// Offsets of the length fields in the user-data area; each block follows its field.
inline constexpr int32_t kKeyLengthAt = 0;
inline constexpr int32_t kCertificateLengthAt = 400;
inline constexpr int32_t kCompletionLengthAt = 1900;
inline constexpr int32_t kOwnerLengthAt = 3400;
inline constexpr int32_t kLengthFieldSize = 4;

// "S/N " and the serial of each connected token, in the order given; the
// single "no tokens" item when there are none.
QStringList TokenItems(TokenComponents& components);
// An item's text without its first four characters ("S/N "), as UTF-8.
std::string SerialOfTokenText(const QString& text);

struct OwnerFields {
  QString full_name;     // "surname givenName"
  QString organisation;  // "name"
};
// The owner record's JSON; both fields read "Ошибка получения данных" when it
// is not a JSON object with the three string members.
OwnerFields OwnerFieldsOf(std::string_view record);
// Reads the owner record of a token (no login needed) and parses it.
OwnerFields ReadOwnerFields(TokenComponents& components, const std::string& serial);

// A length field: one to four hexadecimal digits up to the first NUL.
std::optional<int32_t> ParseLengthField(const ZorvikRecord& field);

}  // namespace providers
