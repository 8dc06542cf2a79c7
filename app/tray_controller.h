#pragma once
// The tray icon, its tip and its four menus. The menus and their actions work
// without an icon (a desktop without a tray, or the offscreen platform).

#include <functional>
#include <memory>

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>

namespace app {

inline constexpr int kCommandStart = 32800;
inline constexpr int kCommandStop = 32801;
inline constexpr int kCommandExit = 32802;
inline constexpr int kCommandSettings = 32803;
inline constexpr int kCommandBanking = 32804;
inline constexpr int kCommandRestore = 32805;
inline constexpr int kCommandHide = 32806;
inline constexpr int kCommandAbout = 32807;

class TrayController : public QObject {
  Q_OBJECT

 public:
  using CommandHandler = std::function<void(int command)>;
  TrayController(QWidget& window, CommandHandler on_command);
  ~TrayController() override;

  void UpdateTrayIcon(bool running, const QString& provider);
  void RemoveTrayIcon();
  const QString& tip() const { return tip_; }
  bool running_icon() const { return running_; }
  bool icon_shown() const { return icon_ && icon_->isVisible(); }

  // Menu resource by state: 135 to 138.
  static int MenuFor(bool server_running, bool window_shown);
  // A fresh menu whose actions carry their command identifiers.
  std::unique_ptr<QMenu> BuildMenu(int resource);

  // The tray notification: double click toggles the window, right click
  // tracks the menu for the current state.
  void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
  void set_server_running(bool running) { server_running_ = running; }

 private:
  QWidget& window_;
  CommandHandler on_command_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QString tip_;
  bool running_ = false;
  bool server_running_ = false;
};

}  // namespace app
