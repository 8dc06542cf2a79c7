// Runs with the stand-in vendor library on its path, so "Авест" starts.
#include <filesystem>

#include <QTimer>

#include "gui_fixture.h"

namespace {

using gui_testing::kHint;
using gui_testing::MainWindowTest;

TEST_F(MainWindowTest, EmptyDefaultStartsAvestAndStopStartRepeats) {
  Launch(Settings(""));
  ASSERT_TRUE(Running());
  EXPECT_EQ(program_->default_provider.toStdString(), "Авест");
  EXPECT_EQ(Control<QComboBox>(app::kControlProviderList)->currentText().toStdString(), "Авест");
  for (int round = 0; round < 3; ++round) {
    QTest::mouseClick(Control<QPushButton>(app::kControlStopButton), Qt::LeftButton);
    EXPECT_FALSE(Running());
    EXPECT_EQ(ListLines().back(), "Tavrik_Server_Crypt остановлен");
    EXPECT_EQ(program_->service.active_provider.get(), QString());
    EXPECT_EQ(window_->tray().tip().toStdString(), "Tavrik_Server_Crypt остановлен");
    QTest::mouseClick(Control<QPushButton>(app::kControlStartButton), Qt::LeftButton);
    ASSERT_TRUE(Running());
    EXPECT_EQ(Answer("?action=version"), R"({"status":"OK","version":"2.3.0"})");
  }
  EXPECT_EQ(ListLines().back(), "Tavrik_Server_Crypt запущен: Авест");
}

TEST_F(MainWindowTest, ChoosingAnotherProviderRestartsWithIt) {
  Launch(Settings("Зорвик2"));
  auto* list = Control<QComboBox>(app::kControlProviderList);
  list->setCurrentIndex(0);
  emit list->activated(0);
  EXPECT_TRUE(Running());
  EXPECT_EQ(program_->service.active_provider.get().toStdString(), "Авест");
  EXPECT_EQ(window_->tray().tip().toStdString(), "Tavrik_Server_Crypt запущен: Авест");
  const auto lines = ListLines();
  EXPECT_EQ(lines[lines.size() - 2], "Tavrik_Server_Crypt остановлен");
  // The entry that is already active changes nothing.
  emit list->activated(0);
  EXPECT_EQ(ListLines().size(), lines.size());
}

TEST_F(MainWindowTest, TrayMenuFollowsServerAndWindowState) {
  EXPECT_EQ(app::TrayController::MenuFor(true, false), 135);
  EXPECT_EQ(app::TrayController::MenuFor(true, true), 136);
  EXPECT_EQ(app::TrayController::MenuFor(false, false), 137);
  EXPECT_EQ(app::TrayController::MenuFor(false, true), 138);

  Launch(Settings(""));
  struct Case {
    int menu;
    std::vector<std::string> entries;
  };
  const std::vector<Case> cases = {
      {135,
       {"Вход в банкинг", "", "Остановить сервер", "Развернуть", "", "Настройки...", "",
        "О программе...", "", "Завершение работы"}},
      {136,
       {"Вход в банкинг", "", "Остановить сервер", "Свернуть", "", "Настройки...", "",
        "О программе...", "", "Завершение работы"}},
      {137,
       {"Вход в банкинг", "", "Запустить сервер", "Развернуть", "", "Настройки...", "",
        "О программе...", "", "Завершение работы"}},
      {138,
       {"Вход в банкинг", "", "Запустить сервер", "Свернуть", "", "Настройки...", "",
        "О программе...", "", "Завершение работы"}},
  };
  for (const Case& c : cases) {
    auto menu = window_->tray().BuildMenu(c.menu);
    std::vector<std::string> entries;
    for (QAction* action : menu->actions())
      entries.push_back(action->isSeparator() ? "" : action->text().toStdString());
    EXPECT_EQ(entries, c.entries) << c.menu;
  }

  auto find = [](QMenu& menu, int command) {
    return menu.findChild<QAction*>(QString::number(command));
  };
  auto running_hidden = window_->tray().BuildMenu(135);
  find(*running_hidden, app::kCommandRestore)->trigger();
  EXPECT_TRUE(window_->isVisible());
  find(*running_hidden, app::kCommandStop)->trigger();
  EXPECT_FALSE(program_->server_running);
  auto stopped_shown = window_->tray().BuildMenu(138);
  find(*stopped_shown, app::kCommandStart)->trigger();
  EXPECT_TRUE(program_->server_running);
  find(*stopped_shown, app::kCommandHide)->trigger();
  EXPECT_FALSE(window_->isVisible());

  window_->tray().OnTrayNotify(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window_->isVisible());
  window_->tray().OnTrayNotify(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
