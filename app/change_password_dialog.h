#pragma once
// The Zorvik2 password change dialog: a token from the list, its owner, the
// old password and the new one twice. It only gathers the values; the
// settings dialog carries out the change.

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "app/control_ids.h"
#include "providers/password_change.h"
#include "providers/zorvik2_token_access.h"

namespace app {

inline constexpr int kControlOldPassword = 1014;
inline constexpr int kControlNewPassword = 1015;
inline constexpr int kControlRepeatedPassword = 1016;
inline constexpr int kControlOwnerName = 1017;
inline constexpr int kControlShowPasswords = 1018;
inline constexpr int kControlHidePasswords = 1019;
inline constexpr int kControlOrganisation = 1020;
inline constexpr int kControlPasswordRules = 1030;

class CChangePasswordDlg final : public QDialog {  // NOLINT: the window class keeps its name
  Q_OBJECT

 public:
  CChangePasswordDlg(providers::Zorvik2TokenAccess& token, QWidget* parent = nullptr);
  ~CChangePasswordDlg() override;

  static QString PasswordRules();
  // The values as they stood when the dialog ended with OK.
  const providers::PasswordChangeRequest& request() const { return request_; }
  const QString& owner_text() const { return owner_text_; }
  const QString& organisation_text() const { return organisation_text_; }
  // Wipes the password values taken at OK.
  void ForgetPasswords();

 public slots:
  void accept() override;

 private:
  QLineEdit* AddPasswordField(int id);
  void ShowOwner(const QString& item);
  void ShowPasswords(bool shown);

  providers::Zorvik2TokenAccess& token_;
  QComboBox* tokens_ = nullptr;
  QLineEdit* owner_ = nullptr;
  QLineEdit* organisation_ = nullptr;
  QLineEdit* passwords_[3] = {};
  QPushButton* show_ = nullptr;
  QPushButton* hide_ = nullptr;
  providers::PasswordChangeRequest request_;
  QString owner_text_;
  QString organisation_text_;
};

}  // namespace app
