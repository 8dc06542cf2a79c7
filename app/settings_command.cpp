#include "app/settings_command.h"

#include <QCoreApplication>

#include "app/install_layout.h"
#include "platform/autostart.h"
#include "platform/install_command.h"
#include "platform/message_box.h"
#include "platform/profile.h"

namespace app {
namespace {

const QString kTitle = QStringLiteral("Tavrik_Server_Crypt");

bool WriteSetting(const Program& program, const QString& key, const QString& value,
                  MainWindowView& view) {
  if (!program.settings_path.isEmpty() &&
      platform::WriteProfileString(program.settings_path, QString::fromLatin1(kSettingsSection),
                                   key, value))
    return true;
  view.AddPlainListLine(
      QStringLiteral("Не хватает прав для изменения настроек. Проверьте права на файл %1")
          .arg(program.settings_path));
  return false;
}

void NoAutostartAccess() {
  platform::ShowMessageBox(
      QStringLiteral("Нет доступа к папке автозапуска %1").arg(platform::AutostartEntryPath()),
      kTitle, platform::MessageIcon::kNone);
}

}  // namespace

QStringList AutostartCommand() {
  const QStringList files = InstallCommandFiles();
  for (const QString& file : files)
    if (auto command = platform::ReadInstallCommand(file)) return *command;
  const QString program = QCoreApplication::applicationFilePath();
  platform::ShowMessageBox(QStringLiteral("Невозможно установить автозагрузку Tavrik_Server_Crypt "
                                          "из установки: нет файла %1.\n"
                                          "Автозагрузка запустит эту программу: %2")
                               .arg(files.join(QStringLiteral(" или ")), program),
                           kTitle, platform::MessageIcon::kInformation);
  return {program};
}

void SaveSettings(Program& program, MainWindowView& view) {
  if (program.auto_start_enabled) {
    if (!platform::WriteAutostartEntry(AutostartCommand())) {
      NoAutostartAccess();
    } else if (!WriteSetting(program, QStringLiteral("autoStart"), QStringLiteral("true"), view)) {
      return;
    }
  } else {
    if (!platform::RemoveAutostartEntry()) NoAutostartAccess();
    if (!WriteSetting(program, QStringLiteral("autoStart"), QStringLiteral("false"), view)) return;
  }
  if (!WriteSetting(program, QStringLiteral("defaultProvider"), program.default_provider, view))
    return;
  view.AddListLine(QStringLiteral("Настройки успешно изменены"));
  view.LoadControls();
}

}  // namespace app
