#include "providers/password_change.h"

#include <string.h>

#include "providers/token_owner.h"

namespace providers {

void WipeText(std::string& text) {
  explicit_bzero(text.data(), text.size());
  text.clear();
}

void WipeText(QString& text) {
  // A shared copy would be detached by writing; only a sole owner is wiped.
  if (!text.isDetached()) return text.clear();
  explicit_bzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
  text.clear();
}

std::optional<PasswordChangeMessage> CarryOutPasswordChange(Zorvik2TokenAccess& token,
                                                            const PasswordChangeRequest& request) {
  if (request.token_text.isEmpty() || request.old_password.isEmpty() ||
      request.new_password.isEmpty() || request.repeated_password.isEmpty())
    return std::nullopt;
  if (request.new_password != request.repeated_password)
    return PasswordChangeMessage{QStringLiteral("Пароли не совпадают"),
                                 platform::MessageIcon::kExclamation};
  std::string old_password = request.old_password.toStdString();
  std::string new_password = request.new_password.toStdString();
  const uint32_t status =
      token.ChangePassword(SerialOfItem(request.token_text).toStdString(), old_password, new_password);
  WipeText(old_password);
  WipeText(new_password);
  switch (status) {
    case kZorvikSuccess:
      return PasswordChangeMessage{QStringLiteral("Пароль успешно изменен"),
                                   platform::MessageIcon::kInformation};
    case kZorvikWrongPassword:
      return PasswordChangeMessage{QStringLiteral("Неправильный пароль"),
                                   platform::MessageIcon::kExclamation};
    default:
      return PasswordChangeMessage{QStringLiteral("Ошибка изменения пароля"),
                                   platform::MessageIcon::kNone};
  }
}

}  // namespace providers
