#pragma once
// The tray icon, its tip and its four menus. The menus and their actions work
// without an icon (a desktop without a tray, or the offscreen platform).

#include <functional>
#include <memory>

#include <QElapsedTimer>
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
  // The menu the tray shows itself, kept to the current state.
  QMenu& context_menu() { return context_menu_; }

  // Whether the desktop has a tray to show the icon in.
  static bool TrayAvailable();
  // Without a tray the window is the only sign of the program, so it is
  // shown at start (not on the offscreen platform, which has no screen).
  static bool ShowWindowAtStart(bool tray_available, const QString& platform_name);

  // The tray notification. Trays of the StatusNotifier kind deliver a single
  // activation and never a double click, so a click toggles the window as a
  // double click does; the double click that follows a click does not toggle
  // it back. The menu comes from the tray itself (context_menu()).
  void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
  void set_server_running(bool running);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* AddEntry(QMenu& menu, const QString& text, int command);
  // The entries of one state, or (all_entries) of every state.
  void FillMenu(QMenu& menu, bool all_entries, bool running, bool shown);
  void RefreshContextMenu();
  void ToggleWindow();

  QWidget& window_;
  CommandHandler on_command_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QMenu context_menu_;
  QString tip_;
  bool running_ = false;
  bool server_running_ = false;
  QElapsedTimer since_click_;  // valid while a click's toggle may be followed by a double click
};

}  // namespace app
