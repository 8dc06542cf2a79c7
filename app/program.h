#pragma once
// Program-wide state: one object for the whole run, owned by main().

#include <cstdint>
#include <memory>
#include <string>

#include <QString>
#include <QStringList>

#include "app/provider_registry.h"
#include "platform/https_server.h"
#include "platform/instance_lock.h"
#include "platform/library.h"
#include "platform/session_notifications.h"
#include "providers/readiness.h"
#include "providers/token_components.h"
#include "providers/zorvik2_token_access.h"
#include "service/listener.h"
#include "service/service_state.h"

namespace app {

inline constexpr const char* kSettingsFileName = "Ferrox_Tavrik_Server_Crypt.ini";
inline constexpr const char* kSettingsSection = "Tavrik_Server_Crypt Settings";
// Further origins whose pages may call the server, separated by blanks.
inline constexpr const char* kAllowedOriginsKey = "allowedOrigins";
inline constexpr const char* kLogFileName = "Tavrik_Server_Crypt_Z.log";
inline constexpr const char* kPreviousLogFileName = "Tavrik_Server_Crypt_Z.log1";
inline constexpr uint16_t kServerPort = 7887;

struct Program {
  service::ServiceState service;  // what the request thread reads
  // The token components the providers call (main() gives the linked ones);
  // without them no provider is registered and nothing signs.
  providers::TokenComponents* token_components = nullptr;
  // Before the listener, so that its request threads end before the providers.
  std::unique_ptr<ProviderRegistry> provider_registry;
  service::Listener listener{service};
  platform::HttpsServerOptions listener_options;  // port, certificate and key

  QString default_provider;  // at most 9 characters
  bool auto_start_enabled = false;
  bool server_running = false;
  QStringList provider_list;
  bool windows_version6 = true;

  std::string temp_folder;  // with its final separator; empty when unusable
  QString settings_path;    // in the configuration folder; empty when unusable

  providers::AvestLibrary avest;
  providers::TokenWatcherState token_watcher;

  // Session notifications: present only where logind answers.
  platform::SessionNotifications session_notifications;

  // Held for the whole run: one copy per user.
  platform::InstanceLock instance_lock;

  // The Zorvik2 token middleware as the password change sees it.
  std::unique_ptr<providers::Zorvik2TokenAccess> zorvik2_token =
      std::make_unique<providers::NoZorvik2Token>();
};

// Port 7887 with the certificate and key of the user's configuration folder.
platform::HttpsServerOptions DefaultListenerOptions();

}  // namespace app
