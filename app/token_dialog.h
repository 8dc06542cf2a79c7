#pragma once
// CGetPassDlg: the token dialog. For Zorvik2 the user picks a connected token
// (its owner shown from the token's owner record) and types its password; for
// Zorvik only the password is asked. The line at the top names who asks.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "app/control_ids.h"
#include "providers/secret_text.h"
#include "providers/token_components.h"

namespace app {

inline constexpr int kControlTokenPassword = 1000;
inline constexpr int kControlTokenOwner = 1001;
inline constexpr int kControlTokenOrganisation = 1002;
inline constexpr int kControlTokenRefresh = 1022;
inline constexpr int kTokenPasswordMaxChars = 20;

class CGetPassDlg final : public QDialog {  // NOLINT: the dialog's class name
  Q_OBJECT

 public:
  // components: where the token list and owners come from when choose_token.
  CGetPassDlg(providers::TokenComponents& components, bool choose_token, const QString& requester);
  ~CGetPassDlg() override;

  QString token_text() const { return tokens_->currentText(); }
  // The typed password; the field is emptied and its buffer wiped.
  providers::SecretText TakePassword();
  // As if typed (the tests' answer hook).
  void SetPassword(const providers::SecretText& password);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FillTokenList();
  void Refresh();
  void ShowOwnerOf(const QString& item);

  providers::TokenComponents& components_;
  QLabel* requester_ = nullptr;
  QComboBox* tokens_ = nullptr;
  QPushButton* refresh_ = nullptr;
  QLineEdit* owner_ = nullptr;
  QLineEdit* organisation_ = nullptr;
  QLineEdit* password_ = nullptr;  // takes no more than 20 characters, typed or pasted
};

}  // namespace app
