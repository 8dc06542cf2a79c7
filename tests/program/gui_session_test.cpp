// Session changes from a fake logind on a private bus: the program's own
// session locked and unlocked, other sessions taking the seat and giving it back.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>

#include "gui_fixture.h"

namespace {

using gui_testing::MainWindowTest;

const QString kControlPath = QStringLiteral("/org/freedesktop/login1/control");

class SessionTest : public MainWindowTest {
 protected:
  // One private bus and one fake logind for all cases: the program reaches
  // logind on the system bus, which the environment points at the private one.
  static void SetUpTestSuite() {
    bus_dir_ = new testing_support::TempDir;
    daemon_ = new QProcess;
    daemon_->start(QStringLiteral(DBUS_DAEMON),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                    QString::fromStdString("--address=unix:path=" + *bus_dir_ / "bus")});
    ASSERT_TRUE(daemon_->waitForReadyRead(10000));
    address_ = daemon_->readLine().trimmed();
    ASSERT_FALSE(address_.isEmpty());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_);
    logind_ = new QProcess;
    logind_->start(QStringLiteral(FAKE_LOGIND), {});
    ASSERT_TRUE(logind_->waitForReadyRead(10000));
    ASSERT_EQ(logind_->readLine().trimmed(), "ready");
  }
  static void TearDownTestSuite() {
    for (QProcess* process : {logind_, daemon_}) {
      process->kill();
      process->waitForFinished();
      delete process;
    }
    delete bus_dir_;
  }
  void SetUp() override {
    MainWindowTest::SetUp();
    Control("Activate", {QStringLiteral("c1")});
    Control("SetLockedHint", {QStringLiteral("c1"), false});
  }
  // A call to the fake's control interface on a connection of the test's own.
  static void Control(const QString& method, const QVariantList& arguments) {
    QDBusConnection control =
        QDBusConnection::connectToBus(QString::fromUtf8(address_), QStringLiteral("control"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), kControlPath,
        QStringLiteral("org.tessel.FakeLogind"), method);
    call.setArguments(arguments);
    EXPECT_EQ(control.call(call).type(), QDBusMessage::ReplyMessage) << method.toStdString();
  }
  // Lets a signal that should change nothing arrive.
  static void Settle() { QTest::qWait(300); }
  std::string Provider() { return program_->service.active_provider.get().toStdString(); }

  static inline testing_support::TempDir* bus_dir_ = nullptr;
  static inline QProcess* daemon_ = nullptr;
  static inline QProcess* logind_ = nullptr;
  static inline QByteArray address_;
};

TEST_F(SessionTest, LockStopsUnlockStartsWithTheProviderThatRan) {
  Launch(Settings("Зорвик2"));
  ASSERT_TRUE(program_->session_notifications.registered());
  ASSERT_TRUE(Running());
  // Changed in the settings meanwhile: counts at the next program start only.
  program_->default_provider = QStringLiteral("Авест");

  Control("Lock", {QStringLiteral("c2")});  // another user's session
  Settle();
  EXPECT_TRUE(Running());
  Control("Lock", {QStringLiteral("c1")});
  QTRY_VERIFY(!Running());
  EXPECT_EQ(ListLines().back(), "Tavrik_Server_Crypt остановлен");
  EXPECT_EQ(window_->tray().tip().toStdString(), "Tavrik_Server_Crypt остановлен");
  Control("Unlock", {QStringLiteral("c1")});
  QTRY_VERIFY(Running());
  EXPECT_EQ(Provider(), "Зорвик2");
  const auto lines = ListLines();
  Control("Unlock", {QStringLiteral("c1")});  // already running: nothing
  Settle();
  EXPECT_EQ(ListLines(), lines);

  // A desktop that locks the screen itself only sets the hint.
  Control("SetLockedHint", {QStringLiteral("c1"), true});
  QTRY_VERIFY(!Running());
  Control("SetLockedHint", {QStringLiteral("c1"), false});
  QTRY_VERIFY(Running());
  EXPECT_EQ(Provider(), "Зорвик2");
}

TEST_F(SessionTest, AnotherUserTakingTheSeatStopsAndGivingItBackStarts) {
  Launch(Settings("Зорвик2"));
  ASSERT_TRUE(Running());
  Control("Activate", {QStringLiteral("c2")});
  QTRY_VERIFY(!Running());
  // Unlocked while another session has the seat: not started.
  Control("Unlock", {QStringLiteral("c1")});
  Settle();
  EXPECT_FALSE(Running());
  Control("Activate", {QStringLiteral("c1")});
  QTRY_VERIFY(Running());
  EXPECT_EQ(Provider(), "Зорвик2");
}

}  // namespace
