// The shell's dialogs and commands offscreen: settings, password change, About,
// links, driver commands, the window and tray behaviour a Linux desktop needs.
#include <signal.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include "app/about_dialog.h"
#include "app/change_password_dialog.h"
#include "app/settings_dialog.h"
#include "fake_zorvik2_token.h"
#include "gui_fixture.h"
#include "platform/autostart.h"
#include "platform/message_box.h"

namespace {

using gui_testing::MainWindowTest;
using testing_support::FakeZorvik2Token;
using testing_support::ReadFile;

// Records what the desktop was asked to open.
class OpenedAddresses : public QObject {
  Q_OBJECT

 public:
  OpenedAddresses() {
    for (const char* scheme : {"https", "file"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~OpenedAddresses() override {
    for (const char* scheme : {"https", "file"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  std::vector<std::string> opened;

 public slots:
  void Open(const QUrl& address) { opened.push_back(address.toString().toStdString()); }
};

// Runs action on the next modal dialog of type T once it is up.
template <typename T>
void OnModal(std::function<void(T&)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    timer->stop();
    timer->deleteLater();
    action(*dialog);
  });
  timer->start();
}

template <typename T>
T* Child(QWidget& parent, int id) {
  return parent.findChild<T*>(QString::number(id));
}

void Click(QWidget& parent, int id) {
  QTest::mouseClick(Child<QPushButton>(parent, id), Qt::LeftButton);
}

class ShellTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    platform::SetMessageSink([this](const QString& text, const QString&, platform::MessageIcon) {
      boxes_.push_back(text.toStdString());
    });
    token_.AddToken("B2", R"({"surname":"Петрова","givenName":"Анна","name":"ОАО Б"})");
    token_.AddToken("A1", R"({"surname":"Иванов","givenName":"Пётр","name":"ООО А"})");
  }
  void TearDown() override {
    platform::SetMessageSink({});
    MainWindowTest::TearDown();
  }
  void LaunchWithToken(const std::string& settings) {
    Launch(settings);
    auto token = std::make_unique<FakeZorvik2Token>(token_);
    fake_ = token.get();
    program_->zorvik2_token = std::move(token);
  }
  std::string SettingsFile() {
    return ReadFile(settings_folder_ + "Ferrox_Tavrik_Server_Crypt.ini");
  }
  static void SaveScreenshot(QWidget& widget, const std::string& name) {
    std::filesystem::create_directories(TAVRIK_SCREENSHOT_DIR);
    widget.adjustSize();
    EXPECT_TRUE(widget.grab().save(QString::fromStdString(TAVRIK_SCREENSHOT_DIR "/" + name)));
  }

  FakeZorvik2Token token_;
  FakeZorvik2Token* fake_ = nullptr;
  std::vector<std::string> boxes_;
};

TEST_F(ShellTest, SettingsDialogShowsWhatTheStateAllows) {
  struct Case {
    std::string provider, auto_start;
    bool entry;
    bool zorvik2_buttons, ticked;
    int selected;
  };
  const std::vector<Case> cases = {
      {"Зорвик2", "false", false, true, false, -1},  // a provider the list lacks: no selection
      {"Foo", "true", false, false, true, -1},
      {"", "false", true, false, true, 0},  // the autostart entry alone ticks the box
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.provider);
    if (c.entry) {
      ASSERT_TRUE(platform::WriteAutostartEntry({"/x"}));
    }
    window_.reset();
    LaunchWithToken(Settings(c.provider, c.auto_start));
    app::CSettingsDlg dialog(*program_, *fake_, window_->driver_commands(), window_.get());
    for (int id :
         {app::kControlChangePassword, app::kControlInstallDriver, app::kControlRemoveDriver})
      EXPECT_EQ(Child<QPushButton>(dialog, id)->isVisibleTo(&dialog), c.zorvik2_buttons) << id;
    EXPECT_EQ(Child<QCheckBox>(dialog, app::kControlAutoStart)->isChecked(), c.ticked);
    auto* list = Child<QComboBox>(dialog, app::kControlDefaultProvider);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentIndex(), c.selected);
    EXPECT_TRUE(Child<QPushButton>(dialog, 2)->isDefault());
    if (c.zorvik2_buttons) SaveScreenshot(dialog, "settings.png");
    platform::RemoveAutostartEntry();
  }
}

TEST_F(ShellTest, CancelChangesNothing) {
  LaunchWithToken(Settings("Зорвик2"));
  const std::string before = SettingsFile();
  const auto lines = ListLines();
  OnModal<app::CSettingsDlg>([](app::CSettingsDlg& dialog) {
    Child<QCheckBox>(dialog, app::kControlAutoStart)->setChecked(true);
    Click(dialog, 2);
  });
  window_->OnCommand(app::kCommandSettings);
  EXPECT_EQ(SettingsFile(), before);
  EXPECT_FALSE(platform::AutostartEntryExists());
  EXPECT_FALSE(program_->auto_start_enabled);
  EXPECT_EQ(program_->default_provider.toStdString(), "Зорвик2");
  EXPECT_EQ(ListLines(), lines);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShellTest, SaveWritesAutostartAndSettings) {
  LaunchWithToken(Settings("Зорвик2"));
  struct Case {
    bool tick;
    std::string file;
  };
  // The list offers no "Зорвик2": the stored choice stays.
  const std::vector<Case> cases = {
      {true, "[Tavrik_Server_Crypt Settings]\nautoStart=true\ndefaultProvider=Зорвик2\n"},
      {false, "[Tavrik_Server_Crypt Settings]\nautoStart=false\ndefaultProvider=Зорвик2\n"},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    OnModal<app::CSettingsDlg>([&c](app::CSettingsDlg& dialog) {
      Child<QCheckBox>(dialog, app::kControlAutoStart)->setChecked(c.tick);
      Click(dialog, 1);
    });
    window_->OnCommand(app::kCommandSettings);
    EXPECT_EQ(SettingsFile(), c.file);
    EXPECT_EQ(platform::AutostartEntryExists(), c.tick);
    EXPECT_EQ(ListLines().back(), "Настройки успешно изменены");
    // No installation file beside this program: its own path goes into the entry.
    EXPECT_EQ(boxes_.size(), c.tick ? 1u : 0u);
    if (c.tick && !boxes_.empty()) {
      EXPECT_NE(boxes_[0].find("Tavrik_Server_Crypt.autostart"), std::string::npos);
      const std::string self = QCoreApplication::applicationFilePath().toStdString();
      EXPECT_NE(ReadFile(platform::AutostartEntryPath().toStdString()).find("Exec=" + self + "\n"),
                std::string::npos);
    }
  }
  // Choosing the listed provider stores it.
  OnModal<app::CSettingsDlg>([](app::CSettingsDlg& dialog) {
    Child<QComboBox>(dialog, app::kControlDefaultProvider)->setCurrentIndex(0);
    Click(dialog, 1);
  });
  window_->OnCommand(app::kCommandSettings);
  EXPECT_EQ(SettingsFile(),
            "[Tavrik_Server_Crypt Settings]\nautoStart=false\ndefaultProvider=Авест\n");
}

TEST_F(ShellTest, PasswordDialogControls) {
  LaunchWithToken(Settings("Зорвик2"));
  {
    app::CChangePasswordDlg dialog(*fake_);
    auto* tokens = Child<QComboBox>(dialog, app::kControlTokenList);
    ASSERT_EQ(tokens->count(), 2);
    EXPECT_EQ(tokens->itemText(0).toStdString(), "S/N A1");  // sorted, the first selected
    EXPECT_EQ(tokens->currentIndex(), 0);
    auto* owner = Child<QLineEdit>(dialog, app::kControlOwnerName);
    auto* organisation = Child<QLineEdit>(dialog, app::kControlOrganisation);
    EXPECT_EQ(owner->text().toStdString(), "Иванов Пётр");
    EXPECT_EQ(organisation->text().toStdString(), "ООО А");
    EXPECT_TRUE(owner->isReadOnly() && organisation->isReadOnly());
    EXPECT_EQ(owner->toolTip().toStdString(), "ФИО владельца личного ключа");
    EXPECT_EQ(organisation->toolTip().toStdString(), "Наименование организации");
    EXPECT_EQ(Child<QLabel>(dialog, app::kControlPasswordRules)->toolTip().count(u'\n'), 6);
    tokens->setCurrentIndex(1);  // the user's choice: selection, then activation
    emit tokens->activated(1);
    EXPECT_EQ(owner->text().toStdString(), "Петрова Анна");

    auto echo = [&dialog](QLineEdit::EchoMode mode) {
      for (int id :
           {app::kControlOldPassword, app::kControlNewPassword, app::kControlRepeatedPassword})
        if (Child<QLineEdit>(dialog, id)->echoMode() != mode) return false;
      return true;
    };
    auto* show = Child<QPushButton>(dialog, app::kControlShowPasswords);
    auto* hide = Child<QPushButton>(dialog, app::kControlHidePasswords);
    const std::vector<std::tuple<QPushButton*, QLineEdit::EchoMode, bool>> steps = {
        {nullptr, QLineEdit::Password, true},
        {show, QLineEdit::Normal, false},
        {hide, QLineEdit::Password, true}};
    for (const auto& [button, mode, show_visible] : steps) {
      if (button != nullptr) QTest::mouseClick(button, Qt::LeftButton);
      EXPECT_TRUE(echo(mode));
      EXPECT_EQ(show->isVisibleTo(&dialog), show_visible);
      EXPECT_EQ(hide->isVisibleTo(&dialog), !show_visible);
    }
    QTest::keyClicks(Child<QLineEdit>(dialog, app::kControlOldPassword), "secret");
    SaveScreenshot(dialog, "change_password.png");
  }
  fake_->list_status = 5;
  app::CChangePasswordDlg empty(*fake_);
  auto* tokens = Child<QComboBox>(empty, app::kControlTokenList);
  EXPECT_EQ(tokens->count(), 1);
  EXPECT_EQ(tokens->itemText(0).toStdString(), "Нет установленных токенов");
  EXPECT_EQ(tokens->currentIndex(), -1);
  EXPECT_EQ(Child<QLineEdit>(empty, app::kControlOwnerName)->text(), QString());
}

TEST_F(ShellTest, PasswordChangeCarriedOutFromTheSettingsDialog) {
  LaunchWithToken(Settings("Зорвик2"));
  OnModal<app::CSettingsDlg>([](app::CSettingsDlg& settings) {
    OnModal<app::CChangePasswordDlg>([](app::CChangePasswordDlg& dialog) {
      for (int id :
           {app::kControlOldPassword, app::kControlNewPassword, app::kControlRepeatedPassword})
        QTest::keyClicks(Child<QLineEdit>(dialog, id), id == app::kControlOldPassword ? "Old1" : "New1");
      Click(dialog, 1);
    });
    Click(settings, app::kControlChangePassword);
    Click(settings, 2);
  });
  window_->OnCommand(app::kCommandSettings);
  EXPECT_EQ(boxes_, std::vector<std::string>{"Пароль успешно изменен"});
  EXPECT_EQ(fake_->changes, (std::vector<FakeZorvik2Token::Change>{{"A1", "Old1", "New1"}}));
}

TEST_F(ShellTest, AboutLinksAndHelpKey) {
  Launch(Settings("Foo"));
  OpenedAddresses desktop;
  std::vector<std::string> texts;
  OnModal<app::CAboutDlg>([&texts](app::CAboutDlg& about) {
    for (QLabel* label : about.findChildren<QLabel*>())
      texts.push_back(label->text().toStdString());
    auto* link = Child<QLabel>(about, app::kControlMakerLink);
    texts.push_back(link->toolTip().toStdString());
    emit link->linkActivated(QStringLiteral("https://bank.example/"));
    QTest::keyClick(&about, Qt::Key_F1);
    QTest::keyClick(&about, Qt::Key_F1, Qt::ShiftModifier);  // not the help key
    SaveScreenshot(about, "about.png");
    Click(about, 1);
  });
  Click(*window_, app::kCommandAboutBox);  // the window's own About button
  for (const char* text : {"Tavrik_Server_Crypt, версия 2.3.0",
                           "Сервер для входа в интернет-банкинг", "https://bank.example/"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;

  OnModal<app::CSettingsDlg>([](app::CSettingsDlg& settings) {
    QTest::keyClick(&settings, Qt::Key_F1);
    Click(settings, 2);
  });
  window_->OnCommand(app::kCommandSettings);
  OnModal<app::CAboutDlg>([](app::CAboutDlg& about) { Click(about, 1); });
  window_->OnCommand(app::kCommandAbout);
  window_->OnCommand(app::kCommandBanking);
  Click(*window_, app::kControlLogButton);
  EXPECT_EQ(desktop.opened,
            (std::vector<std::string>{"https://bank.example/", "https://bank.example/",
                                      "https://bank.example/", "https://ib.bank.example/",
                                      "file://" + folder_ + "Tavrik_Server_Crypt_Z.log"}));
}

TEST_F(ShellTest, WindowAndTrayOnALinuxDesktop) {
  Launch(Settings("Зорвик2"));
  window_->show();
  window_->showMinimized();
  QTRY_VERIFY(!window_->isVisible());
  auto& tray = window_->tray();
  auto visible = [&tray] {
    std::vector<int> commands;
    for (QAction* action : tray.context_menu().actions())
      if (action->isVisible() && !action->isSeparator()) commands.push_back(action->data().toInt());
    return commands;
  };
  EXPECT_EQ(visible(), (std::vector<int>{app::kCommandBanking, app::kCommandStop,
                                         app::kCommandRestore, app::kCommandSettings,
                                         app::kCommandAbout, app::kCommandExit}));
  // A single activation toggles; the double click right after it does not undo it.
  tray.OnTrayNotify(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window_->isVisible());
  tray.OnTrayNotify(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(tray.context_menu().objectName().toStdString(), "136");
  tray.context_menu().findChild<QAction*>(QString::number(app::kCommandStop))->trigger();
  EXPECT_EQ(visible()[1], app::kCommandStart);
  tray.OnTrayNotify(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(tray.context_menu().objectName().toStdString(), "137");

  EXPECT_TRUE(app::TrayController::ShowWindowAtStart(false, "wayland"));  // no tray
  EXPECT_FALSE(app::TrayController::ShowWindowAtStart(true, "xcb"));
  EXPECT_FALSE(app::TrayController::ShowWindowAtStart(false, "offscreen"));
}

TEST_F(ShellTest, DriverCommandsRunInOrderWithoutFreezingAndWithinTheLimit) {
  // Stand-ins on PATH: elevate runs its arguments, TokenDriverHost notes its
  // switch and sleeps on /RegServer as long as the file "sleep" says.
  const std::string bin = dir_ / "bin";
  std::filesystem::create_directories(bin);
  const std::string runs = dir_ / "runs.txt";
  testing_support::WriteFile(bin + "/elevate", "#!/bin/sh\nexec \"$@\"\n");
  testing_support::WriteFile(bin + "/TokenDriverHost",
                             "#!/bin/sh\necho \"$1\" >> '" + runs + "'\n[ \"$1\" = /RegServer ] && "
                             "exec sleep \"$(cat '" + dir_ / "sleep" + "')\"\nexit 0\n");
  for (const char* tool : {"/elevate", "/TokenDriverHost"})
    std::filesystem::permissions(bin + tool, std::filesystem::perms::owner_all);
  const std::string path = getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  LaunchWithToken(Settings("Зорвик2"));
  app::CSettingsDlg dialog(*program_, *fake_, window_->driver_commands(), window_.get());
  auto* install = Child<QPushButton>(dialog, app::kControlInstallDriver);
  auto* remove = Child<QPushButton>(dialog, app::kControlRemoveDriver);

  testing_support::WriteFile(dir_ / "sleep", "1");
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(50);
  QTest::mouseClick(install, Qt::LeftButton);
  EXPECT_FALSE(install->isEnabled() || remove->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(install->isEnabled(), 10000);
  EXPECT_GE(ticks, 10);  // the window went on while the runs lasted
  QTest::mouseClick(remove, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(remove->isEnabled(), 10000);
  EXPECT_EQ(testing_support::ReadLines(runs),
            (std::vector<std::string>{"/RegServer", "-service", "/UnRegServer"}));

  // A run past the limit is ended with everything it started, and the next one follows.
  std::filesystem::remove(runs);
  testing_support::WriteFile(dir_ / "sleep", "30");
  window_->driver_commands().set_limit(std::chrono::milliseconds(300));
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(install, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(install->isEnabled(), 10000);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_EQ(testing_support::ReadLines(runs), (std::vector<std::string>{"/RegServer", "-service"}));
  EXPECT_EQ(ListLines().back(),
            "Команда \"elevate TokenDriverHost /RegServer\" не завершилась вовремя и остановлена");
  setenv("PATH", path.c_str(), 1);
}

}  // namespace

#include "gui_shell_test.moc"
