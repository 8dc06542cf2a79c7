#pragma once
// Start-up, start, stop and exit of the server, apart from the widgets.

#include <QString>

#include "app/main_window_view.h"
#include "app/program.h"
#include "providers/readiness.h"

namespace app {

class ServerLifecycle final : public providers::ReadinessHost {
 public:
  ServerLifecycle(Program& program, MainWindowView& view) : program_(program), view_(view) {}

  // The start-up part of the main window's initialisation: log and settings
  // paths, settings, provider list, and the default provider's start.
  void InitMainWindow();
  void StartServer();
  void StartServerWith(const QString& provider);
  void StopServer();
  void CompleteStart() override;
  void ExitProgram();
  void OnProviderChanged(const QString& selected);
  // Session notification by its event code (platform/session_notifications.h).
  void OnSessionChange(int event);

  // ReadinessHost
  void AddListLine(const QString& message) override { view_.AddListLine(message); }
  void AddPlainListLine(const QString& message) override { view_.AddPlainListLine(message); }
  void ShowInformation(const QString& message) override { view_.ShowInformation(message); }

 private:
  // false when the program is exiting because another copy holds the address.
  bool StartListener();
  void StartProvider(const QString& name);
  void ProviderCleanup();
  void ReadSettings();
  // The bank's origins and those of the settings key may call the server.
  void AllowOrigins(const QString& listed);

  Program& program_;
  MainWindowView& view_;
  bool exiting_ = false;
  QString provider_before_lock_;  // what ran when the session was locked
};

}  // namespace app
