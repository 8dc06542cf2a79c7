#pragma once
// Carrying out a Zorvik2 password change once the dialog has ended with OK:
// the checks before the token is asked, and the message for its answer.

#include <optional>

#include <QString>

#include "platform/message_box.h"
#include "providers/zorvik2_token_access.h"

namespace providers {

struct PasswordChangeRequest {
  QString token_text;  // the token list's text, "S/N <serial>"
  QString old_password;
  QString new_password;
  QString repeated_password;
};

struct PasswordChangeMessage {
  QString text;
  platform::MessageIcon icon = platform::MessageIcon::kNone;
};

// Nothing when a field is empty; "Пароли не совпадают" when the new password
// and its repetition differ (exactly); otherwise the token's verdict. The
// narrow copies of the passwords are wiped after the call.
std::optional<PasswordChangeMessage> CarryOutPasswordChange(Zorvik2TokenAccess& token,
                                                            const PasswordChangeRequest& request);

// Overwrites a string's characters before it is let go.
void WipeText(QString& text);
void WipeText(std::string& text);

}  // namespace providers
