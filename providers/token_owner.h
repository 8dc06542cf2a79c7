#pragma once
// The token list and owner record that the Zorvik2 token dialogs show: items
// "S/N <serial>", and the owner's name and organisation from the JSON owner
// record of the token's user-data area.

#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

#include "providers/zorvik2_token_access.h"

namespace providers {

inline constexpr uint32_t kOwnerLengthOffset = 3400;
inline constexpr uint32_t kOwnerRecordOffset = 3404;

QString NoTokensItem();     // "Нет установленных токенов"
QString OwnerReadFailed();  // "Ошибка получения данных"

struct OwnerFields {
  QString full_name;     // surname and given name, one space between
  QString organisation;  // "name"
};

// The owner record's JSON; a record that is not a JSON object with the string
// members "surname", "givenName" and "name" gives the failure text in both.
OwnerFields ParseOwnerRecord(std::string_view record);

// Reads the length field (hexadecimal text) and the record after it.
OwnerFields ReadOwner(Zorvik2TokenAccess& token, const QString& serial);

// One item per connected token, or the single "no tokens" item.
QStringList TokenListItems(Zorvik2TokenAccess& token);

// The serial in an item's text: the text without its first four characters.
QString SerialOfItem(const QString& item);

}  // namespace providers
