#include "app/tray_controller.h"

#include <QAction>
#include <QApplication>
#include <QEvent>

#include "app/icons.h"

namespace app {
namespace {

// Tips hold at most 127 characters.
constexpr qsizetype kTipLimit = 127;

}  // namespace

TrayController::TrayController(QWidget& window, CommandHandler on_command)
    : window_(window),
      on_command_(std::move(on_command)),
      context_menu_(QStringLiteral("Tavrik_Server_Crypt")) {
  FillMenu(context_menu_, true, false, false);
  connect(&context_menu_, &QMenu::aboutToShow, this, &TrayController::RefreshContextMenu);
  window_.installEventFilter(this);
  RefreshContextMenu();
}

TrayController::~TrayController() = default;

bool TrayController::TrayAvailable() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayController::ShowWindowAtStart(bool tray_available, const QString& platform_name) {
  return !tray_available && platform_name != QLatin1String("offscreen");
}

void TrayController::UpdateTrayIcon(bool running, const QString& provider) {
  running_ = running;
  tip_ = (running ? QStringLiteral("Tavrik_Server_Crypt запущен: %1").arg(provider)
                  : QStringLiteral("Tavrik_Server_Crypt остановлен"))
             .left(kTipLimit);
  const QIcon icon = ServerIcon(running);
  window_.setWindowIcon(icon);
  // Removed and added again with every change of state.
  icon_.reset();
  if (!TrayAvailable()) return;
  icon_ = std::make_unique<QSystemTrayIcon>(icon);
  icon_->setToolTip(tip_);
  icon_->setContextMenu(&context_menu_);
  connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayController::OnTrayNotify);
  icon_->show();
}

void TrayController::RemoveTrayIcon() {
  icon_.reset();
}

int TrayController::MenuFor(bool server_running, bool window_shown) {
  if (server_running) return window_shown ? 136 : 135;
  return window_shown ? 138 : 137;
}

QAction* TrayController::AddEntry(QMenu& menu, const QString& text, int command) {
  QAction* action = menu.addAction(text);
  action->setData(command);
  action->setObjectName(QString::number(command));
  connect(action, &QAction::triggered, this, [this, command] { on_command_(command); });
  return action;
}

void TrayController::FillMenu(QMenu& menu, bool all_entries, bool running, bool shown) {
  AddEntry(menu, QStringLiteral("Вход в банкинг"), kCommandBanking);
  menu.addSeparator();
  if (all_entries || running) AddEntry(menu, QStringLiteral("Остановить сервер"), kCommandStop);
  if (all_entries || !running) AddEntry(menu, QStringLiteral("Запустить сервер"), kCommandStart);
  if (all_entries || shown) AddEntry(menu, QStringLiteral("Свернуть"), kCommandHide);
  if (all_entries || !shown) AddEntry(menu, QStringLiteral("Развернуть"), kCommandRestore);
  menu.addSeparator();
  AddEntry(menu, QStringLiteral("Настройки..."), kCommandSettings);
  menu.addSeparator();
  AddEntry(menu, QStringLiteral("О программе..."), kCommandAbout);
  menu.addSeparator();
  AddEntry(menu, QStringLiteral("Завершение работы"), kCommandExit);
}

std::unique_ptr<QMenu> TrayController::BuildMenu(int resource) {
  auto menu = std::make_unique<QMenu>(QStringLiteral("Tavrik_Server_Crypt"));
  menu->setObjectName(QString::number(resource));
  FillMenu(*menu, false, resource == 135 || resource == 136, resource == 136 || resource == 138);
  return menu;
}

// The tray's own menu holds every entry and shows those of the current state:
// entries are never deleted, not even by the command one of them runs.
void TrayController::RefreshContextMenu() {
  const bool shown = window_.isVisible();
  context_menu_.setObjectName(QString::number(MenuFor(server_running_, shown)));
  for (QAction* action : context_menu_.actions()) {
    const int command = action->data().toInt();
    if (command == kCommandStop || command == kCommandStart)
      action->setVisible((command == kCommandStop) == server_running_);
    if (command == kCommandHide || command == kCommandRestore)
      action->setVisible((command == kCommandHide) == shown);
  }
}

void TrayController::set_server_running(bool running) {
  server_running_ = running;
  RefreshContextMenu();
}

bool TrayController::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show || event->type() == QEvent::Hide) RefreshContextMenu();
  return QObject::eventFilter(watched, event);
}

void TrayController::ToggleWindow() {
  if (window_.isVisible()) {
    window_.hide();
  } else {
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
  }
}

void TrayController::OnTrayNotify(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Trigger) {
    ToggleWindow();
    since_click_.start();
  } else if (reason == QSystemTrayIcon::DoubleClick) {
    const bool after_click =
        since_click_.isValid() && since_click_.elapsed() <= QApplication::doubleClickInterval();
    since_click_.invalidate();
    if (!after_click) ToggleWindow();
  }
}

}  // namespace app
