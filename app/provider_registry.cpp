#include "app/provider_registry.h"

#include "providers/test_hooks.h"

namespace app {

void ProviderRegistry::Log::Event(int code, uint32_t value, const char* message) {
  log_.LogEvent(code, message != nullptr ? std::optional(QString::fromLatin1(message)) : std::nullopt,
                service::LogValue::Hex(value));
}

ProviderRegistry::ProviderRegistry(service::ServiceState& service,
                                   const providers::TokenWatcherState& watcher,
                                   const std::string& temp_folder,
                                   providers::TokenComponents& components)
    : service_(service),
      watcher_(watcher),
      context_(service),
      log_(service.log),
      dialog_(components),
      avest_(components, context_, log_, providers::LoginLifetime()),
      zorvik_(components, dialog_, context_, log_, providers::LoginLifetime(), temp_folder),
      zorvik2_(components, dialog_, context_, log_, providers::LoginLifetime()) {
  service_.providers.Register(providers::AvestName(), &avest_);
  service_.providers.Register(providers::ZorvikName(), &zorvik_);
  service_.providers.Register(providers::Zorvik2Name(), &zorvik2_);
}

void ProviderRegistry::Resume(const QString& name) {
  dialog_.Open();
  if (name == providers::ZorvikName()) zorvik_.SetTokenWatcherFolder(watcher_.folder);
  if (auto* provider = service_.providers.Find(name)) provider->Resume();
}

uint32_t ProviderRegistry::Shutdown(const QString& name) {
  dialog_.Close();
  auto* provider = service_.providers.Find(name);
  return provider != nullptr ? provider->Shutdown() : 0;
}

}  // namespace app
