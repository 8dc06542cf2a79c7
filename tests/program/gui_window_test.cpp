// Runs without the stand-in vendor library on its path.
#include <filesystem>

#include <QTimer>

#include "gui_fixture.h"

namespace {

using gui_testing::kHint;
using gui_testing::MainWindowTest;

TEST_F(MainWindowTest, Zorvik2FromSettingsRunsWithNothingSelected) {
  Launch(Settings("Зорвик2"));
  EXPECT_TRUE(Running());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(Control<QComboBox>(app::kControlProviderList)->currentIndex(), -1);
  EXPECT_EQ(Control<QComboBox>(app::kControlProviderList)->count(), 1);
  EXPECT_EQ(ListLines(), (std::vector<std::string>{kHint, "Tavrik_Server_Crypt запущен: Зорвик2"}));
  EXPECT_EQ(window_->tray().tip().toStdString(), "Tavrik_Server_Crypt запущен: Зорвик2");
  EXPECT_TRUE(window_->tray().running_icon());
  EXPECT_EQ(Answer("?action=checkLs"), R"({"status":"OK"})");
  // With no entry selected the start after a stop falls back to the default provider.
  QTest::mouseClick(Control<QPushButton>(app::kControlStopButton), Qt::LeftButton);
  EXPECT_FALSE(Running());
  window_->OnCommand(app::kCommandStart);
  EXPECT_TRUE(Running());
  EXPECT_EQ(program_->service.active_provider.get().toStdString(), "Зорвик2");
}

TEST_F(MainWindowTest, UnknownProviderStartsNothing) {
  Launch(Settings("Foo", "True"));
  EXPECT_FALSE(program_->server_running);
  EXPECT_FALSE(program_->auto_start_enabled);  // "True" is not "true"
  EXPECT_EQ(Control<QComboBox>(app::kControlProviderList)->currentText().toStdString(), "Авест");
  EXPECT_EQ(ListLines(), std::vector<std::string>{kHint});
  EXPECT_EQ(window_->tray().tip().toStdString(), "Tavrik_Server_Crypt остановлен");
  EXPECT_FALSE(window_->tray().running_icon());
}

TEST_F(MainWindowTest, AvestWithoutVendorLibraryReportsAndStaysStopped) {
  Launch(Settings("Авест", "true"));
  EXPECT_TRUE(program_->auto_start_enabled);
  EXPECT_FALSE(program_->server_running);
  EXPECT_EQ(ListLines(), (std::vector<std::string>{kHint, "Ошибка инициализации Авест"}));
  const auto log = testing_support::ReadLines(folder_ + "Tavrik_Server_Crypt_Z.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(testing_support::Unstamped(log.back()), "Avest dll load failed | AvCryptMail.dll");
}

TEST_F(MainWindowTest, EscAndCloseHideEnterDoesNothing) {
  Launch(Settings("Foo"));
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_Return);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(program_->server_running);  // Enter pressed no button
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_FALSE(window_->isVisible());
  window_->show();
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  // A screenshot works without any display.
  EXPECT_FALSE(window_->grab().isNull());
}

TEST_F(MainWindowTest, ExitRemovesTrayAndEndsTheLoop) {
  Launch(Settings("Зорвик2"));
  auto menu = window_->tray().BuildMenu(135);
  menu->findChild<QAction*>(QString::number(app::kCommandExit))->trigger();
  EXPECT_FALSE(window_->tray().icon_shown());
  // The quit is queued: an event loop started now ends at once.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(5000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
}

}  // namespace
