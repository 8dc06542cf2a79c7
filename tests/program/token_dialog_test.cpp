// The token dialog offscreen: its controls for Zorvik2 and Zorvik, the
// hand-over from a request thread, the answer hook, and a stop or exit while
// it is open, through the program's own window and lifecycle.
#include <sys/stat.h>

#include <future>

#include <QDialogButtonBox>

#include "gui_fixture.h"
#include "provider_doubles.h"
#include "providers/zorvik2_provider.h"
#include "tokens/token_test_support.h"

namespace {

using namespace provider_testing;
using namespace std::chrono_literals;
using testing_support::TempDir;
using tokens::TokenKind;

class TokenDialogTest : public tokentest::TokenTest {
 protected:
  template <typename T>
  static T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(QString::number(id));
  }
  // Shows the dialog from another thread, as a request does; returns once it is on screen.
  std::future<providers::TokenDialogAnswer> Ask(bool choose_token, const std::string& origin) {
    shown_ = nullptr;
    auto answer = std::async(std::launch::async, [this, choose_token, origin] {
      return host_.ShowTokenDialog({choose_token, origin});
    });
    EXPECT_TRUE(QTest::qWaitFor([this] { return shown_ != nullptr; }, 5000));
    return answer;
  }
  static void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
  }

  Components components_;
  app::TokenDialogHost host_{components_};
  app::CGetPassDlg* shown_ = nullptr;
  QMetaObject::Connection presented_ = QObject::connect(
      &host_, &app::TokenDialogHost::Presented, [this](app::CGetPassDlg* dialog) { shown_ = dialog; });
};

TEST_F(TokenDialogTest, Zorvik2ListsTokensSortedShowsTheOwnerAndWhoAsks) {
  std::vector<std::string> serials = {MakeToken(TokenKind::kZorvik2), MakeToken(TokenKind::kZorvik2)};
  std::sort(serials.begin(), serials.end());
  auto answer = Ask(true, "https://bank.example");
  ASSERT_NE(shown_, nullptr);
  auto* tokens = Control<QComboBox>(shown_, app::kControlTokenList);
  ASSERT_EQ(tokens->count(), 2);
  EXPECT_EQ(tokens->itemText(0).toStdString(), "S/N " + serials[0]);
  EXPECT_EQ(tokens->itemText(1).toStdString(), "S/N " + serials[1]);
  EXPECT_EQ(tokens->currentIndex(), 0);
  EXPECT_EQ(Control<QLineEdit>(shown_, app::kControlTokenOwner)->text().toStdString(), "Иванова Анна");
  EXPECT_EQ(Control<QLineEdit>(shown_, app::kControlTokenOrganisation)->text().toStdString(),
            "ООО «Тест»");
  EXPECT_EQ(shown_->findChild<QLabel*>("requester")->text().toStdString(),
            "Запрос от: https://bank.example");
  EXPECT_EQ(shown_->windowTitle().toStdString(), "Авторизация пользователя Zorvik / Zorvik2");
  EXPECT_TRUE(shown_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  // Refresh finds a token plugged meanwhile.
  const std::string third = MakeToken(TokenKind::kZorvik2);
  QTest::mouseClick(Control<QPushButton>(shown_, app::kControlTokenRefresh), Qt::LeftButton);
  EXPECT_EQ(tokens->count(), 3);
  auto* password = Control<QLineEdit>(shown_, app::kControlTokenPassword);
  QTest::keyClicks(password, "Demo-Pass1-and-more-12345");  // 25 typed, 20 taken
  EXPECT_EQ(password->text().size(), 20);
  std::filesystem::create_directories(SCREENSHOT_DIR);
  EXPECT_TRUE(shown_->grab().save(QStringLiteral(SCREENSHOT_DIR "/token_dialog.png")));
  // A token text typed by hand counts the same way.
  tokens->setEditText(QStringLiteral("S/N typed-serial"));
  Press(shown_, QDialogButtonBox::Ok);
  const providers::TokenDialogAnswer given = answer.get();
  EXPECT_TRUE(given.accepted);
  EXPECT_EQ(given.selected_token_id, "typed-serial");
  EXPECT_EQ(std::string(given.entered_password.begin(), given.entered_password.end()), "Demo-Pass1-and-more-");
}

TEST_F(TokenDialogTest, NoTokensAndTheZorvikFormAndTheAnswerHook) {
  auto answer = Ask(true, "");
  auto* tokens = Control<QComboBox>(shown_, app::kControlTokenList);
  ASSERT_EQ(tokens->count(), 1);
  EXPECT_EQ(tokens->itemText(0).toStdString(), "Нет установленных токенов");
  EXPECT_EQ(tokens->currentIndex(), -1);
  EXPECT_EQ(shown_->findChild<QLabel*>("requester")->text().toStdString(),
            "Запрос от программы на этом компьютере");
  Press(shown_, QDialogButtonBox::Cancel);
  EXPECT_FALSE(answer.get().accepted);

  MakeToken(TokenKind::kZorvik2);
  answer = Ask(false, "https://bank.example");
  for (int id : {app::kControlTokenList, app::kControlTokenRefresh, app::kControlTokenOwner,
                 app::kControlTokenOrganisation})
    EXPECT_FALSE(Control<QWidget>(shown_, id)->isEnabled()) << id;
  QTest::keyClicks(Control<QLineEdit>(shown_, app::kControlTokenPassword), "pw1");
  Press(shown_, QDialogButtonBox::Ok);
  EXPECT_EQ(answer.get().selected_token_id, "");

  // The test-only hook answers from an owner-only file, and refuses any other.
  const std::string file = (data() / "answer").string();
  testing_support::WriteFile(file, "Hook-Pass1\nignored\n");
  setenv("TAVRIK_TEST_DIALOG_ANSWER", file.c_str(), 1);
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}}) {
    chmod(file.c_str(), mode);
    answer = Ask(true, "");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }, 5000));
    const providers::TokenDialogAnswer given = answer.get();
    EXPECT_EQ(given.accepted, mode == 0600) << mode;
    EXPECT_EQ(std::string(given.entered_password.begin(), given.entered_password.end()),
              mode == 0600 ? "Hook-Pass1" : "");
  }
  unsetenv("TAVRIK_TEST_DIALOG_ANSWER");
}

TEST_F(TokenDialogTest, ClosedHostCancelsTheOpenDialogAndEveryLaterOne) {
  TempDir dir;
  FileLog log(dir);
  FixedRequest request;
  providers::Zorvik2Provider provider(components_, host_, request, log, 60s);
  auto signing = std::async(std::launch::async, [&] {
    std::vector<char> output(8192);
    uint32_t length = 8192;
    return provider.Sign(output.data(), &length, "QUJD", 4);
  });
  ASSERT_TRUE(QTest::qWaitFor([this] { return shown_ != nullptr; }, 5000));
  const QPointer<app::CGetPassDlg> open = shown_;
  const auto start = std::chrono::steady_clock::now();
  host_.Close();
  EXPECT_EQ(provider.Shutdown(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);  // the request left at once
  EXPECT_EQ(signing.get(), 0xFF30u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 2000));
  EXPECT_FALSE(host_.ShowTokenDialog({true, ""}).accepted);  // closed: no dialog at all
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"Zorvik2 login retCode | 1"});
}

// Through the program: a request's dialog is open when the server stops, or
// when the program exits; either answers the request at once.
TEST_F(TokenDialogTest, StopAndExitDuringAnOpenDialog) {
  TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavrik-test-bus", 1);
  ASSERT_TRUE(testing_support::MakeCertificate(dir.path().string()));
  const std::string settings = platform::UserSettingsFolder();
  const std::string folder = platform::UserTempFolder();  // the log's
  MakeToken(TokenKind::kZorvik2);
  for (const bool exit : {false, true}) {
    testing_support::WriteFile(settings + "Ferrox_Tavrik_Server_Crypt.ini",
                               "[Tavrik_Server_Crypt Settings]\ndefaultProvider=Зорвик2\n");
    auto program = std::make_unique<app::Program>();
    program->listener_options.port = 0;
    program->listener_options.certificate_file = dir / "server.crt";
    program->listener_options.key_file = dir / "server.key";
    program->token_components = &components_;
    auto window = std::make_unique<app::CTavrik_Crypt_ServerDlg>(*program);
    window->InitMainWindow();
    app::CGetPassDlg* dialog = nullptr;
    QObject::connect(&program->provider_registry->dialog(), &app::TokenDialogHost::Presented,
                     [&](app::CGetPassDlg* shown) { dialog = shown; });
    const uint16_t port = program->listener.port();
    auto reply = std::async(std::launch::async, [port] {
      return testing_support::Curl(port, "/?action=getDocSign", "-X POST -d QUJD").output;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog != nullptr; }, 10000));
    if (exit)
      window->lifecycle().ExitProgram();
    else
      window->lifecycle().StopServer();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return reply.wait_for(0s) == std::future_status::ready; }, 5000));
    // At exit the listener still serves; a stop ends it, and may cut the reply.
    const std::string answered = reply.get();
    const std::string expected = R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})";
    if (exit || !answered.empty()) {
      EXPECT_EQ(answered, expected);
    }
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(folder + "Tavrik_Server_Crypt_Z.log"))
      lines.push_back(testing_support::Unstamped(line));
    const auto login = std::find(lines.begin(), lines.end(), "Zorvik2 login retCode | 1");
    ASSERT_NE(login, lines.end());
    ASSERT_NE(login + 1, lines.end());
    EXPECT_EQ(login[1], "Sign failed | Return message: Zorvik2 login error");
    window.reset();
    program.reset();
    std::filesystem::remove(folder + "Tavrik_Server_Crypt_Z.log");
  }
  for (const char* name : {"TMPDIR", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) unsetenv(name);
}

}  // namespace
