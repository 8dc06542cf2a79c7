#pragma once
// The token dialog as the signing routines ask for it. The program shows it
// on the window thread and hands the answer back to the request thread; the
// answer is Cancel when the service stops or the program exits meanwhile.

#include <string>

#include <QString>

#include "providers/secret_text.h"

namespace providers {

struct TokenDialogRequest {
  bool choose_token = false;  // Zorvik2: the token list and its owner
  std::string origin;         // of the requesting page; empty for a program of the user's own
};

struct TokenDialogAnswer {
  bool accepted = false;
  std::string selected_token_id;  // the token text without its first four characters
  SecretText entered_password;
};

class TokenDialog {
 public:
  virtual ~TokenDialog() = default;
  virtual TokenDialogAnswer ShowTokenDialog(const TokenDialogRequest& request) = 0;
};

// The dialog's line that names who asks.
QString RequesterLine(const std::string& origin);

}  // namespace providers
