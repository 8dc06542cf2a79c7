#include "app/settings_dialog.h"

#include <QGridLayout>
#include <QLabel>

#include "app/change_password_dialog.h"
#include "platform/autostart.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "providers/password_change.h"
#include "providers/provider.h"

namespace app {

CSettingsDlg::CSettingsDlg(Program& program, providers::Zorvik2TokenAccess& token,
                           DriverCommands& driver, QWidget* parent)
    : QDialog(parent), program_(program), token_(token), driver_(driver) {
  setWindowTitle(QStringLiteral("Настройки Tavrik_Server_Crypt"));
  providers_ = new QComboBox(this);
  providers_->setObjectName(QString::number(kControlDefaultProvider));
  auto_start_ = new QCheckBox(QStringLiteral(" Автозапуск Tavrik_Server_Crypt"), this);
  auto_start_->setObjectName(QString::number(kControlAutoStart));
  change_password_ = AddButton(kControlChangePassword, QStringLiteral("Изменить пароль для Зорвик2"));
  install_driver_ = AddButton(kControlInstallDriver, QStringLiteral("Установить драйвер"));
  remove_driver_ = AddButton(kControlRemoveDriver, QStringLiteral("Удалить драйвер"));
  QPushButton* save = AddButton(1, QStringLiteral("Сохранить"));
  QPushButton* cancel = AddButton(2, QStringLiteral("Отмена"));
  cancel->setDefault(true);

  connect(save, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(change_password_, &QPushButton::clicked, this, &CSettingsDlg::ChangeZorvik2Password);
  connect(install_driver_, &QPushButton::clicked, &driver_, &DriverCommands::InstallDriver);
  connect(remove_driver_, &QPushButton::clicked, &driver_, &DriverCommands::RemoveDriver);
  connect(&driver_, &DriverCommands::runningChanged, this,
          [this](bool running) { EnableDriverButtons(!running); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Используемый носитель по умолчанию"), this), 0, 0);
  layout->addWidget(providers_, 0, 1);
  layout->addWidget(auto_start_, 1, 0, 1, 2);
  layout->addWidget(change_password_, 2, 0, 1, 2);
  layout->addWidget(install_driver_, 3, 0);
  layout->addWidget(remove_driver_, 3, 1);
  layout->addWidget(save, 4, 0);
  layout->addWidget(cancel, 4, 1);

  providers_->addItem(providers::AvestName());
  if (!program_.settings_path.isEmpty()) platform::TouchProfileFile(program_.settings_path);
  auto_start_->setChecked(program_.auto_start_enabled);
  install_driver_->hide();
  remove_driver_->hide();
  int found = -1;
  for (int i = 0; i < providers_->count() && found < 0; ++i)
    if (providers_->itemText(i).startsWith(program_.default_provider)) found = i;
  providers_->setCurrentIndex(found);
  const bool zorvik2 = program_.service.active_provider.get() == providers::Zorvik2Name();
  change_password_->setVisible(zorvik2);
  install_driver_->setVisible(zorvik2 && program_.windows_version6);
  remove_driver_->setVisible(zorvik2 && program_.windows_version6);
  if (platform::AutostartEntryExists()) auto_start_->setChecked(true);
  EnableDriverButtons(!driver_.running());
  StoreControls();
}

QPushButton* CSettingsDlg::AddButton(int id, const QString& text) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(QString::number(id));
  button->setAutoDefault(false);
  return button;
}

void CSettingsDlg::StoreControls() {
  provider_text_ = providers_->currentIndex() >= 0 ? providers_->currentText() : QString();
}

void CSettingsDlg::LoadControls() {
  providers_->setCurrentIndex(provider_text_.isEmpty() ? -1 : providers_->findText(provider_text_));
}

void CSettingsDlg::EnableDriverButtons(bool enabled) {
  install_driver_->setEnabled(enabled);
  remove_driver_->setEnabled(enabled);
}

void CSettingsDlg::accept() {
  StoreControls();
  program_.auto_start_enabled = auto_start_->isChecked();
  // A provider the list does not offer (a settings file naming "Зорвик2")
  // leaves the list without a selection; the stored choice then stays.
  if (!provider_text_.isEmpty()) program_.default_provider = provider_text_;
  QDialog::accept();
}

void CSettingsDlg::ChangeZorvik2Password() {
  CChangePasswordDlg dialog(token_, this);
  if (dialog.exec() == QDialog::Accepted) {
    const auto message = providers::CarryOutPasswordChange(token_, dialog.request());
    dialog.ForgetPasswords();
    if (message)
      platform::ShowMessageBox(message->text, QStringLiteral("Tavrik_Server_Crypt"), message->icon);
  }
  LoadControls();
}

}  // namespace app
