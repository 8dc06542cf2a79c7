#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>

#include "app/about_dialog.h"
#include "app/branding.h"
#include "app/icons.h"
#include "app/settings_command.h"
#include "app/settings_dialog.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "service/event_log.h"

namespace app {

CTavrik_Crypt_ServerDlg::CTavrik_Crypt_ServerDlg(Program& program)
    : program_(program),
      tray_(*this, [this](int command) { OnCommand(command); }),
      lifecycle_(program, *this),
      help_key_([this] { OpenBankSite(); }) {
  setWindowTitle(QStringLiteral("Tavrik_Server_Crypt"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  resize(520, 300);

  event_list_ = new QListWidget(this);
  event_list_->setObjectName(QString::number(kControlEventList));
  event_list_->setSelectionMode(QAbstractItemView::NoSelection);
  event_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  start_button_ = AddButton(kControlStartButton, QStringLiteral("Запустить сервер"));
  stop_button_ = AddButton(kControlStopButton, QStringLiteral("Остановить Сервер"));
  log_button_ = AddButton(kControlLogButton, QStringLiteral("Просмотреть логи"));
  QPushButton* about_button = AddButton(kCommandAboutBox, QStringLiteral("О программе..."));

  provider_list_ = new QComboBox(this);
  provider_list_->setObjectName(QString::number(kControlProviderList));
  provider_list_->setInsertPolicy(QComboBox::InsertAlphabetically);
  // A user's choice, not a programmatic selection, is a provider change.
  connect(provider_list_, &QComboBox::activated, this,
          [this](int index) { lifecycle_.OnProviderChanged(provider_list_->itemText(index)); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(event_list_, 0, 0, 1, 3);
  layout->addWidget(start_button_, 1, 0);
  layout->addWidget(stop_button_, 1, 0);  // the same place: one of the two shows
  layout->addWidget(provider_list_, 1, 1);
  layout->addWidget(log_button_, 1, 2);
  layout->addWidget(about_button, 1, 3);
  layout->setColumnStretch(1, 1);

  connect(&driver_commands_, &DriverCommands::timedOut, this, [this](const QString& line) {
    AddListLine(QStringLiteral("Команда \"%1\" не завершилась вовремя и остановлена").arg(line));
  });
}

CTavrik_Crypt_ServerDlg::~CTavrik_Crypt_ServerDlg() = default;

QPushButton* CTavrik_Crypt_ServerDlg::AddButton(int id, const QString& text) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(QString::number(id));
  button->setProperty("controlId", id);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  return button;
}

void CTavrik_Crypt_ServerDlg::InitMainWindow() {
  setWindowIcon(ServerIcon(false));
  connect(&program_.session_notifications, &platform::SessionNotifications::sessionChanged, this,
          [this](int event) { lifecycle_.OnSessionChange(event); });
  lifecycle_.InitMainWindow();
  if (TrayController::ShowWindowAtStart(TrayController::TrayAvailable(),
                                        QGuiApplication::platformName()))
    showNormal();
}

void CTavrik_Crypt_ServerDlg::OnCommand(int command) {
  switch (command) {
    case kControlStartButton:
    case kCommandStart:
      lifecycle_.StartServer();
      break;
    case kControlStopButton:
    case kCommandStop:
      lifecycle_.StopServer();
      break;
    case kCommandExit:
      lifecycle_.ExitProgram();
      break;
    case kControlLogButton:
      OpenLogFile();
      break;
    case kCommandRestore:
      showNormal();
      break;
    case kCommandHide:
      hide();
      break;
    case kCommandSettings:
      RunSettings();
      break;
    case kCommandBanking:
      OpenInternetBanking();
      break;
    case kCommandAbout:
    case kCommandAboutBox:
      ShowAbout();
      break;
    default:
      break;
  }
  tray_.set_server_running(program_.server_running);
}

void CTavrik_Crypt_ServerDlg::OpenLogFile() {
  platform::OpenWithShell(QString::fromStdString(program_.service.log.log_file()));
}

void CTavrik_Crypt_ServerDlg::OpenBankSite() {
  platform::OpenAddress(QString::fromUtf8(kBankSiteAddress));
}

void CTavrik_Crypt_ServerDlg::OpenInternetBanking() {
  platform::OpenAddress(QString::fromUtf8(kInternetBankingAddress));
}

void CTavrik_Crypt_ServerDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CTavrik_Crypt_ServerDlg::RunSettings() {
  CSettingsDlg dialog(program_, *program_.zorvik2_token, driver_commands_, this);
  const bool saved = dialog.exec() == QDialog::Accepted;
  StoreControls();
  if (!saved) return LoadControls();
  SaveSettings(program_, *this);
}

void CTavrik_Crypt_ServerDlg::AddListLine(const QString& message) {
  event_list_->addItem(service::StampedListLine(message));
}

void CTavrik_Crypt_ServerDlg::AddPlainListLine(const QString& message) {
  event_list_->addItem(message);
}

void CTavrik_Crypt_ServerDlg::ShowServerButtons(bool running) {
  start_button_->setVisible(!running);
  stop_button_->setVisible(running);
  tray_.set_server_running(running);
}

void CTavrik_Crypt_ServerDlg::EnableStopButton() {
  stop_button_->setEnabled(true);
}

void CTavrik_Crypt_ServerDlg::StoreControls() {
  provider_text_ = provider_list_->currentIndex() >= 0 ? provider_list_->currentText() : QString();
}

void CTavrik_Crypt_ServerDlg::LoadControls() {
  provider_list_->setCurrentIndex(provider_text_.isEmpty() ? -1
                                                           : provider_list_->findText(provider_text_));
}

void CTavrik_Crypt_ServerDlg::CenterWindow() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void CTavrik_Crypt_ServerDlg::SetProviderList(const QStringList& names) {
  provider_list_->clear();
  QStringList sorted = names;
  sorted.sort();
  provider_list_->addItems(sorted);
  provider_list_->setCurrentIndex(-1);
}

void CTavrik_Crypt_ServerDlg::SelectProviderStartingWith(const QString& prefix) {
  int found = -1;
  for (int i = 0; i < provider_list_->count() && found < 0; ++i)
    if (provider_list_->itemText(i).startsWith(prefix)) found = i;
  provider_list_->setCurrentIndex(found);
}

QString CTavrik_Crypt_ServerDlg::SelectedProviderText() const {
  return provider_list_->currentIndex() >= 0 ? provider_list_->currentText() : QString();
}

void CTavrik_Crypt_ServerDlg::UpdateTrayIcon(bool running, const QString& provider) {
  tray_.UpdateTrayIcon(running, provider);
  StoreControls();
}

void CTavrik_Crypt_ServerDlg::RemoveTrayIcon() {
  tray_.RemoveTrayIcon();
}

void CTavrik_Crypt_ServerDlg::ShowInformation(const QString& message) {
  platform::ShowMessageBox(message, QStringLiteral("Tavrik_Server_Crypt"),
                           platform::MessageIcon::kInformation);
}

void CTavrik_Crypt_ServerDlg::Quit() {
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                            Qt::QueuedConnection);
}

void CTavrik_Crypt_ServerDlg::accept() {}

void CTavrik_Crypt_ServerDlg::reject() {
  hide();
}

void CTavrik_Crypt_ServerDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

// Minimising hides the window as closing does; the tray brings it back.
void CTavrik_Crypt_ServerDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
      },
      Qt::QueuedConnection);
}

}  // namespace app
