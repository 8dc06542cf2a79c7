#pragma once
// The main window: event list, start and stop buttons, provider list and the
// log button. It only shows state and forwards commands to the lifecycle.

#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QString>

#include "app/driver_commands.h"
#include "app/help_key.h"
#include "app/main_window_view.h"
#include "app/program.h"
#include "app/server_lifecycle.h"
#include "app/tray_controller.h"

namespace app {

inline constexpr int kControlStopButton = 1002;
inline constexpr int kControlStartButton = 1003;
inline constexpr int kControlLogButton = 1004;
inline constexpr int kControlEventList = 1008;
inline constexpr int kControlProviderList = 1031;
// The window manager's menu takes no item of ours: About is a button of the window.
inline constexpr int kCommandAboutBox = 16;

// Window class name kept from the program's origin.
class CTavrik_Crypt_ServerDlg final : public QDialog, public MainWindowView {  // NOLINT
  Q_OBJECT

 public:
  explicit CTavrik_Crypt_ServerDlg(Program& program);
  ~CTavrik_Crypt_ServerDlg() override;

  void InitMainWindow();
  void OnCommand(int command);
  ServerLifecycle& lifecycle() { return lifecycle_; }
  TrayController& tray() { return tray_; }
  DriverCommands& driver_commands() { return driver_commands_; }
  const QString& provider_text() const { return provider_text_; }

  // MainWindowView
  void AddListLine(const QString& message) override;
  void AddPlainListLine(const QString& message) override;
  void ShowServerButtons(bool running) override;
  void EnableStopButton() override;
  void StoreControls() override;
  void LoadControls() override;
  void CenterWindow() override;
  void SetProviderList(const QStringList& names) override;
  void SelectProviderStartingWith(const QString& prefix) override;
  QString SelectedProviderText() const override;
  void UpdateTrayIcon(bool running, const QString& provider) override;
  void RemoveTrayIcon() override;
  void ShowInformation(const QString& message) override;
  void Quit() override;

 public slots:
  void accept() override;  // Enter never closes the window
  void reject() override;  // Esc hides it

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QPushButton* AddButton(int id, const QString& text);
  void OpenLogFile();
  void OpenBankSite();
  void OpenInternetBanking();
  void ShowAbout();
  void RunSettings();

  Program& program_;
  QListWidget* event_list_ = nullptr;
  QPushButton* start_button_ = nullptr;
  QPushButton* stop_button_ = nullptr;
  QPushButton* log_button_ = nullptr;
  QComboBox* provider_list_ = nullptr;
  QString provider_text_;  // text of 1031 as last stored
  TrayController tray_;
  ServerLifecycle lifecycle_;
  DriverCommands driver_commands_;
  HelpKeyFilter help_key_;
};

}  // namespace app
