#pragma once
// Program-wide state: one object for the whole run, owned by main().

#include <cstdint>
#include <string>

#include <QString>
#include <QStringList>

#include <memory>

#include "app/provider_registry.h"
#include "platform/https_server.h"
#include "platform/library.h"
#include "providers/readiness.h"
#include "providers/token_components.h"
#include "service/listener.h"
#include "service/service_state.h"

namespace app {

inline constexpr const char* kSettingsFileName = "Ferrox_Tavrik_Server_Crypt.ini";
inline constexpr const char* kSettingsSection = "Tavrik_Server_Crypt Settings";
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
  QString settings_path;

  providers::AvestLibrary avest;
  providers::TokenWatcherState token_watcher;

  // Session notifications: present only where the library exists.
  platform::Library session_library;
  bool session_registered = false;
};

// Port 7887 with the certificate and key of the user's configuration folder.
platform::HttpsServerOptions DefaultListenerOptions();

}  // namespace app
