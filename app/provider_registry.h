#pragma once
// The three signing providers of the program, registered by display name,
// with what they need of it: the token components, the dialog hand-over,
// the request's origin and login mode, and the log file.

#include <cstdint>
#include <memory>
#include <string>

#include <QString>

#include "app/token_dialog_host.h"
#include "providers/avest_provider.h"
#include "providers/readiness.h"
#include "providers/zorvik2_provider.h"
#include "providers/zorvik_provider.h"
#include "service/service_state.h"

namespace app {

class ProviderRegistry {
 public:
  // On the window thread, once the temporary folder is known.
  ProviderRegistry(service::ServiceState& service, const providers::TokenWatcherState& watcher,
                   const std::string& temp_folder, providers::TokenComponents& components);

  // The server starts with the named provider.
  void Resume(const QString& name);
  // The server stops or the program exits: open dialogs answer Cancel, then
  // the named provider cleans up. 0, or the vendor's result that keeps its
  // library loaded.
  uint32_t Shutdown(const QString& name);
  void CloseDialogs() { dialog_.Close(); }
  TokenDialogHost& dialog() { return dialog_; }

 private:
  class Context final : public providers::RequestContext {
   public:
    explicit Context(service::ServiceState& service) : service_(service) {}
    std::string Origin() const override { return service_.request_origin; }
    int32_t AvestLoginMode() const override { return service_.avest_login_mode; }

   private:
    service::ServiceState& service_;
  };
  class Log final : public providers::ProviderLog {
   public:
    explicit Log(service::EventLog& log) : log_(log) {}
    void Event(int code, uint32_t value, const char* message) override;

   private:
    service::EventLog& log_;
  };

  service::ServiceState& service_;
  const providers::TokenWatcherState& watcher_;
  Context context_;
  Log log_;
  TokenDialogHost dialog_;
  providers::AvestProvider avest_;
  providers::ZorvikProvider zorvik_;
  providers::Zorvik2Provider zorvik2_;
};

}  // namespace app
