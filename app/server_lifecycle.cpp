#include "app/server_lifecycle.h"

#include <unistd.h>

#include <utility>

#include <QDBusConnection>

#include "app/branding.h"
#include "platform/port_owner.h"
#include "platform/profile.h"
#include "platform/settings_file.h"
#include "platform/user_folders.h"
#include "providers/provider.h"

namespace app {
namespace {

constexpr int kSettingsValueChars = 10;  // nine characters and the terminator
constexpr int kAllowedOriginsChars = 4096;

QString Latin(const char* text) {
  return QString::fromLatin1(text);
}

}  // namespace

platform::HttpsServerOptions DefaultListenerOptions() {
  platform::HttpsServerOptions options;
  options.port = kServerPort;
  const std::string folder = platform::UserConfigFolder();
  options.certificate_file = folder + platform::kCertificateFileName;
  options.key_file = folder + platform::kKeyFileName;
  return options;
}

void ServerLifecycle::ReadSettings() {
  program_.temp_folder = platform::UserTempFolder();
  program_.service.log.SetPaths(
      program_.temp_folder.empty() ? std::string() : program_.temp_folder + kLogFileName,
      program_.temp_folder.empty() ? std::string() : program_.temp_folder + kPreviousLogFileName);
  // Kept in the configuration folder: the temporary folder is emptied at boot.
  program_.settings_path = platform::PrepareSettingsFile(
      platform::UserSettingsFolder(), program_.temp_folder, Latin(kSettingsFileName));
  // Without a usable folder the defaults apply.
  if (program_.settings_path.isEmpty()) return AllowOrigins(QString());
  const QString section = Latin(kSettingsSection);
  const QString auto_start =
      platform::ReadProfileString(program_.settings_path, section, QStringLiteral("autoStart"),
                                  QStringLiteral("false"), kSettingsValueChars);
  program_.default_provider = platform::ReadProfileString(program_.settings_path, section,
                                                          QStringLiteral("defaultProvider"),
                                                          QString(), kSettingsValueChars);
  if (auto_start == QLatin1String("true")) program_.auto_start_enabled = true;
  AllowOrigins(platform::ReadProfileString(program_.settings_path, section,
                                           QString::fromLatin1(kAllowedOriginsKey), QString(),
                                           kAllowedOriginsChars));
}

void ServerLifecycle::AllowOrigins(const QString& listed) {
  std::vector<std::string> origins = {service::OriginOf(kBankSiteAddress),
                                      service::OriginOf(kInternetBankingAddress)};
  for (const QString& origin : listed.split(u' ', Qt::SkipEmptyParts))
    origins.push_back(origin.toStdString());
  for (const std::string& skipped : program_.service.origins.SetAllowed(origins))
    view_.AddListLine(QStringLiteral("Не источник веб-страницы, пропущено: %1")
                          .arg(QString::fromStdString(skipped)));
}

void ServerLifecycle::InitMainWindow() {
  // A second copy is told by a per-user lock: the port may be another user's.
  std::string lock_folder = platform::UserRuntimeFolder();
  if (lock_folder.empty()) lock_folder = platform::UserSettingsFolder();
  program_.instance_lock = platform::LockInstance(lock_folder);
  if (program_.instance_lock.other_copy) {
    view_.ShowInformation(QStringLiteral("Уже запущена копия Tavrik_Server_Crypt"));
    ExitProgram();
    return;
  }
  view_.AddPlainListLine(QStringLiteral(
      "В настройках Вы можете изменить носитель по умолчанию при старте приложения"));
  view_.UpdateTrayIcon(false, QString());
  ReadSettings();
  if (program_.token_components != nullptr)
    program_.provider_registry = std::make_unique<ProviderRegistry>(
        program_.service, program_.token_watcher, program_.temp_folder,
        *program_.token_components);
  // Without logind no session notifications arrive.
  program_.session_notifications.Register(QDBusConnection::systemBus());
  program_.windows_version6 = true;
  view_.ShowServerButtons(false);
  view_.CenterWindow();
  program_.provider_list = QStringList{providers::AvestName()};
  view_.SetProviderList(program_.provider_list);
  if (program_.default_provider.isEmpty())
    program_.default_provider = program_.provider_list.front();
  StartProvider(program_.default_provider);
  if (exiting_) return;
  view_.SelectProviderStartingWith(program_.service.active_provider.get());
}

void ServerLifecycle::StartProvider(const QString& name) {
  if (name == providers::AvestName()) {
    providers::InitAvest(program_.service, program_.avest, *this);
  } else if (name == providers::ZorvikName()) {
    providers::CheckZorvikReady(program_.service, program_.token_watcher, *this);
  } else if (name == providers::Zorvik2Name()) {
    program_.service.active_provider.set(providers::Zorvik2Name());
    CompleteStart();
  }
}

void ServerLifecycle::StartServer() {
  // After a start from the settings file with a provider the list does not
  // offer, nothing is selected: the default provider starts.
  const QString selected = view_.SelectedProviderText();
  StartServerWith(selected.isEmpty() ? program_.default_provider : selected);
}

void ServerLifecycle::StartServerWith(const QString& provider) {
  if (program_.server_running || exiting_) return;
  StartProvider(provider);
}

void ServerLifecycle::CompleteStart() {
  if (program_.provider_registry)
    program_.provider_registry->Resume(program_.service.active_provider.get());
  if (!StartListener()) return;
  // The tray tells the truth: a listener that failed to start leaves it stopped.
  view_.UpdateTrayIcon(program_.server_running, program_.service.active_provider.get());
  if (program_.server_running) view_.EnableStopButton();
  view_.StoreControls();
}

bool ServerLifecycle::StartListener() {
  const uint32_t code = program_.listener.Start(program_.listener_options);
  const auto port_owner = code == platform::kHttpAlreadyExists
                              ? platform::ListeningPortOwner(program_.listener_options.port)
                              : std::nullopt;
  if (code == platform::kHttpAlreadyExists && (!port_owner || *port_owner == getuid())) {
    view_.ShowInformation(QStringLiteral("Уже запущена копия Tavrik_Server_Crypt"));
    ExitProgram();
    return false;
  }
  QString message;
  if (port_owner) {
    message = QStringLiteral("Ошибка запуска сервера %1: порт %2 занят программой пользователя %3")
                  .arg(code)
                  .arg(program_.listener_options.port)
                  .arg(QString::fromStdString(platform::UserName(*port_owner)));
    view_.ShowInformation(message);
  } else if (code != 0) {
    message = QStringLiteral("Ошибка запуска сервера %1").arg(code);
    // Name the file when a file is the cause (missing, unreadable, or a key
    // that other users can read).
    if (!program_.listener.problem_file().empty())
      message +=
          QStringLiteral(": %1").arg(QString::fromStdString(program_.listener.problem_file()));
  } else {
    message = QStringLiteral("Tavrik_Server_Crypt запущен: %1")
                  .arg(program_.service.active_provider.get());
    program_.server_running = true;
    view_.ShowServerButtons(true);
  }
  view_.AddListLine(message);
  return true;
}

void ServerLifecycle::ProviderCleanup() {
  const QString active = program_.service.active_provider.get();
  // Open token dialogs answer Cancel; the provider waits for its requests.
  const uint32_t result =
      program_.provider_registry ? program_.provider_registry->Shutdown(active) : 0;
  if (active == providers::AvestName() && result == 0)
    providers::ShutdownAvestLibrary(program_.avest, program_.service.log);
}

void ServerLifecycle::StopServer() {
  if (!program_.server_running) return;
  ProviderCleanup();
  program_.listener.Stop();
  program_.server_running = false;
  view_.ShowServerButtons(false);
  program_.service.active_provider.set(QString());
  view_.AddListLine(QStringLiteral("Tavrik_Server_Crypt остановлен"));
  view_.UpdateTrayIcon(false, QString());
}

void ServerLifecycle::ExitProgram() {
  if (exiting_) return;
  exiting_ = true;
  program_.session_notifications.Unregister();
  // The providers' clean-up cancels open token dialogs, waits for the
  // requests inside and turns later ones away; the listener stays until the
  // program ends, so that those requests still get their answer.
  if (program_.server_running) ProviderCleanup();
  if (program_.provider_registry) program_.provider_registry->CloseDialogs();
  view_.RemoveTrayIcon();
  view_.Quit();
}

void ServerLifecycle::OnProviderChanged(const QString& selected) {
  if (selected == program_.service.active_provider.get()) return;
  StopServer();
  StartServer();
}

// Session changes: a lock or a switch to another user stops the server; the
// unlock or the switch back starts it again with the provider that ran.
void ServerLifecycle::OnSessionChange(int event) {
  if (event == platform::kSessionLock || event == platform::kSessionConsoleDisconnect) {
    if (program_.server_running) provider_before_lock_ = program_.service.active_provider.get();
    StopServer();
  } else if (event == platform::kSessionUnlock || event == platform::kSessionConsoleConnect) {
    if (program_.server_running) return;
    const QString provider = std::exchange(provider_before_lock_, QString());
    if (provider.isEmpty()) {
      StartServer();
    } else {
      StartServerWith(provider);
    }
  }
}

}  // namespace app
