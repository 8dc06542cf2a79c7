#include "app/tray_controller.h"

#include <array>

#include <QAction>
#include <QCursor>

#include "app/icons.h"

namespace app {
namespace {

// Tips hold at most 127 characters.
constexpr qsizetype kTipLimit = 127;

}  // namespace

TrayController::TrayController(QWidget& window, CommandHandler on_command)
    : window_(window), on_command_(std::move(on_command)) {}

TrayController::~TrayController() = default;

void TrayController::UpdateTrayIcon(bool running, const QString& provider) {
  running_ = running;
  tip_ = (running ? QStringLiteral("Tavrik_Server_Crypt запущен: %1").arg(provider)
                  : QStringLiteral("Tavrik_Server_Crypt остановлен"))
             .left(kTipLimit);
  const QIcon icon = ServerIcon(running);
  window_.setWindowIcon(icon);
  // Removed and added again with every change of state.
  icon_.reset();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  icon_ = std::make_unique<QSystemTrayIcon>(icon);
  icon_->setToolTip(tip_);
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

std::unique_ptr<QMenu> TrayController::BuildMenu(int resource) {
  const bool running = resource == 135 || resource == 136;
  const bool shown = resource == 136 || resource == 138;
  auto menu = std::make_unique<QMenu>(QStringLiteral("Tavrik_Server_Crypt"));
  menu->setObjectName(QString::number(resource));
  auto add = [&](const QString& text, int command) {
    QAction* action = menu->addAction(text);
    action->setData(command);
    action->setObjectName(QString::number(command));
    connect(action, &QAction::triggered, this, [this, command] { on_command_(command); });
  };
  add(QStringLiteral("Вход в банкинг"), kCommandBanking);
  menu->addSeparator();
  if (running)
    add(QStringLiteral("Остановить сервер"), kCommandStop);
  else
    add(QStringLiteral("Запустить сервер"), kCommandStart);
  if (shown)
    add(QStringLiteral("Свернуть"), kCommandHide);
  else
    add(QStringLiteral("Развернуть"), kCommandRestore);
  menu->addSeparator();
  add(QStringLiteral("Настройки..."), kCommandSettings);
  menu->addSeparator();
  add(QStringLiteral("О программе..."), kCommandAbout);
  menu->addSeparator();
  add(QStringLiteral("Завершение работы"), kCommandExit);
  return menu;
}

void TrayController::OnTrayNotify(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) {
    if (window_.isVisible()) {
      window_.hide();
    } else {
      window_.showNormal();
      window_.raise();
      window_.activateWindow();
    }
  } else if (reason == QSystemTrayIcon::Context) {
    auto menu = BuildMenu(MenuFor(server_running_, window_.isVisible()));
    window_.activateWindow();
    menu->exec(QCursor::pos());
  }
}

}  // namespace app
