// Where the settings dialog finds the installation's autostart command line:
// beside the program (the build tree) before the installation's data folder.
// This program runs from a folder of its own, so that the files it puts
// there meet no other test.
#include <filesystem>
#include <fstream>
#include <optional>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "app/settings_command.h"
#include "platform/message_box.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& file, const std::optional<std::string>& text) {
  fs::remove(file);
  if (!text) return;
  fs::create_directories(file.parent_path());
  std::ofstream(file) << *text;
}

TEST(AutostartCommandTest, BesideTheProgramThenTheDataFolder) {
  int argc = 1;
  char name[] = "autostart_command_test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  const fs::path own = QCoreApplication::applicationDirPath().toStdString();
  const fs::path beside = own / "Tavrik_Server_Crypt.autostart";
  const fs::path installed = own / TAVRIK_DATA_FROM_PROGRAM / "Tavrik_Server_Crypt.autostart";
  const QString self = QCoreApplication::applicationFilePath();
  int boxes = 0;
  platform::SetMessageSink([&boxes](const QString&, const QString&, platform::MessageIcon) {
    ++boxes;
  });

  struct Case {
    std::optional<std::string> beside, installed;
    QStringList command;
    int boxes;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "# made by the build\n/usr/bin/Tavrik_Server_Crypt\n",
       {"/usr/bin/Tavrik_Server_Crypt"}, 0},
      {"/opt/t/Tavrik_Server_Crypt\n--tray\n", "/usr/bin/Tavrik_Server_Crypt\n",
       {"/opt/t/Tavrik_Server_Crypt", "--tray"}, 0},
      // An unusable file beside the program leaves the installation's in force.
      {"# nothing\n", "/usr/bin/Tavrik_Server_Crypt\n", {"/usr/bin/Tavrik_Server_Crypt"}, 0},
      // Neither: the program itself, and the user is told.
      {std::nullopt, std::nullopt, {self}, 1},
  };
  for (const Case& c : cases) {
    boxes = 0;
    Put(beside, c.beside);
    Put(installed, c.installed);
    EXPECT_EQ(app::AutostartCommand(), c.command) << c.beside.value_or("-");
    EXPECT_EQ(boxes, c.boxes) << c.beside.value_or("-");
  }
  platform::SetMessageSink({});
}

}  // namespace
