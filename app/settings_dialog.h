#pragma once
// The settings dialog: the provider started at program start, autostart at
// logon, and the Zorvik2 commands (password change, driver service) while
// that provider runs.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "app/driver_commands.h"
#include "app/program.h"
#include "providers/zorvik2_token_access.h"

namespace app {

inline constexpr int kControlDefaultProvider = 1010;
inline constexpr int kControlAutoStart = 1011;
inline constexpr int kControlChangePassword = 1017;
inline constexpr int kControlInstallDriver = 1018;
inline constexpr int kControlRemoveDriver = 1019;

class CSettingsDlg final : public QDialog {  // NOLINT: the window class keeps its name
  Q_OBJECT

 public:
  CSettingsDlg(Program& program, providers::Zorvik2TokenAccess& token, DriverCommands& driver,
               QWidget* parent = nullptr);

  // Text of list 1010 as last stored.
  const QString& provider_text() const { return provider_text_; }

 public slots:
  void accept() override;

 private:
  QPushButton* AddButton(int id, const QString& text);
  void StoreControls();
  void LoadControls();
  void ChangeZorvik2Password();
  void EnableDriverButtons(bool enabled);

  Program& program_;
  providers::Zorvik2TokenAccess& token_;
  DriverCommands& driver_;
  QComboBox* providers_ = nullptr;
  QCheckBox* auto_start_ = nullptr;
  QPushButton* change_password_ = nullptr;
  QPushButton* install_driver_ = nullptr;
  QPushButton* remove_driver_ = nullptr;
  QString provider_text_;
};

}  // namespace app
