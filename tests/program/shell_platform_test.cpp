// The Linux forms of the settings store, autostart, the copy lock and the port owner.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/autostart.h"
#include "platform/install_command.h"
#include "platform/instance_lock.h"
#include "platform/port_owner.h"
#include "platform/profile.h"
#include "platform/settings_file.h"
#include "platform/user_folders.h"
#include "temp_dir.h"
#include "tls_client.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

const QString kSection = QStringLiteral("Tavrik_Server_Crypt Settings");

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(WriteProfileTest, ChangesOneEntryAndKeepsEverythingElse) {
  struct Case {
    std::string before;
    std::string key, value;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"", "autoStart", "true", "[Tavrik_Server_Crypt Settings]\nautoStart=true\n"},
      {"; mine\n[tavrik_server_crypt settings]\r\nAUTOSTART = false\r\ndefaultProvider=Авест\n",
       "autoStart", "true",
       "; mine\n[tavrik_server_crypt settings]\r\nautoStart=true\ndefaultProvider=Авест\n"},
      {"[Tavrik_Server_Crypt Settings]\nautoStart=true\n\n[Other]\nx=1\n", "defaultProvider",
       "Зорвик2",
       "[Tavrik_Server_Crypt Settings]\nautoStart=true\ndefaultProvider=Зорвик2\n\n[Other]\nx=1\n"},
      {"[Other]\nautoStart=keep", "autoStart", "false",
       "[Other]\nautoStart=keep\n[Tavrik_Server_Crypt Settings]\nautoStart=false\n"},
  };
  TempDir dir;
  const QString file = QString::fromStdString(dir / "s.ini");
  for (const Case& c : cases) {
    WriteFile(dir / "s.ini", c.before);
    ASSERT_TRUE(platform::WriteProfileString(file, kSection, QString::fromStdString(c.key),
                                             QString::fromStdString(c.value)));
    EXPECT_EQ(ReadFile(dir / "s.ini"), c.after) << c.before;
    EXPECT_EQ(platform::ReadProfileString(file, kSection, QString::fromStdString(c.key), {}, 10)
                  .toStdString(),
              c.value);
  }
  // What would break a line is refused and changes nothing.
  for (const auto& [key, value] :
       std::vector<std::pair<QString, QString>>{{"autoStart", "true\n[x]"}, {"a=b", "1"}}) {
    EXPECT_FALSE(platform::WriteProfileString(file, kSection, key, value)) << key.toStdString();
    EXPECT_EQ(ReadFile(dir / "s.ini"), cases.back().after);
  }
  EXPECT_FALSE(platform::WriteProfileString(QString::fromStdString(dir / "no/s.ini"), kSection,
                                            "autoStart", "true"));
}

TEST(WriteProfileTest, ReplacesTheFileWholeNeverInPlace) {
  TempDir dir;
  WriteFile(dir / "s.ini", "[Tavrik_Server_Crypt Settings]\nautoStart=false\n");
  // A hard link still shows the old file: the new one was written beside it and renamed.
  std::filesystem::create_hard_link(dir / "s.ini", dir / "old.ini");
  ASSERT_TRUE(platform::WriteProfileString(QString::fromStdString(dir / "s.ini"), kSection,
                                           "autoStart", "true"));
  EXPECT_EQ(ReadFile(dir / "old.ini"), "[Tavrik_Server_Crypt Settings]\nautoStart=false\n");
  EXPECT_EQ(ReadFile(dir / "s.ini"), "[Tavrik_Server_Crypt Settings]\nautoStart=true\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(SettingsFileTest, MovesAFileLeftInTheOldPlaceOnce) {
  TempDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config/deep");
  const std::string folder = platform::UserSettingsFolder();
  ASSERT_EQ(folder, dir / "config/deep/Tavrik_Server_Crypt/");
  struct stat info {};
  ASSERT_EQ(stat((dir / "config").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  const std::string old_folder = dir / "old/";
  std::filesystem::create_directory(old_folder);
  const QString name = QStringLiteral("s.ini");

  WriteFile(old_folder + "s.ini", "old");
  EXPECT_EQ(platform::PrepareSettingsFile(folder, old_folder, name).toStdString(), folder + "s.ini");
  EXPECT_EQ(ReadFile(folder + "s.ini"), "old");
  EXPECT_FALSE(std::filesystem::exists(old_folder + "s.ini"));
  // A new file wins over one that shows up again in the old place.
  WriteFile(old_folder + "s.ini", "older");
  platform::PrepareSettingsFile(folder, old_folder, name);
  EXPECT_EQ(ReadFile(folder + "s.ini"), "old");
  // A link in the old place is not followed; the new file is made empty.
  std::filesystem::remove(folder + "s.ini");
  std::filesystem::remove(old_folder + "s.ini");
  WriteFile(dir / "elsewhere", "secret");
  std::filesystem::create_symlink(dir / "elsewhere", old_folder + "s.ini");
  platform::PrepareSettingsFile(folder, old_folder, name);
  EXPECT_EQ(ReadFile(folder + "s.ini"), "");
  EXPECT_TRUE(platform::PrepareSettingsFile("", old_folder, name).isEmpty());

  // The settings folder is refused like the temporary one when it is a link.
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory_symlink(dir / "old", dir / "config/deep/Tavrik_Server_Crypt");
  EXPECT_EQ(platform::UserSettingsFolder(), "");
}

TEST(AutostartTest, ExecValuesQuoteWhatTheDesktopRulesReserve) {
  const std::vector<std::pair<QStringList, std::string>> cases = {
      {{"/opt/t/Tavrik_Server_Crypt"}, "/opt/t/Tavrik_Server_Crypt"},
      {{"/opt/my apps/T", "--x"}, "\"/opt/my apps/T\" --x"},
      {{"/p", "a\"b", "$HOME", "`c`"}, "/p \"a\\\\\"b\" \"\\\\$HOME\" \"\\\\`c\\\\`\""},
      {{"/p", "back\\slash"}, "/p \"back\\\\\\\\slash\""},
      {{"/p", "100%", ""}, "/p 100%% \"\""},
  };
  for (const auto& [arguments, exec] : cases)
    EXPECT_EQ(platform::DesktopExecValue(arguments).toStdString(), exec) << exec;
}

TEST(AutostartTest, EntryWrittenValidAndRemoved) {
  TempDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const std::string entry = dir / "config/autostart/Tavrik_Server_Crypt.desktop";
  EXPECT_EQ(platform::AutostartEntryPath().toStdString(), entry);
  EXPECT_FALSE(platform::AutostartEntryExists());
  ASSERT_TRUE(platform::WriteAutostartEntry({"/opt/my apps/Tavrik_Server_Crypt", "50%", "$x"}));
  EXPECT_TRUE(platform::AutostartEntryExists());
  const auto check = testing_support::RunCommand("desktop-file-validate '" + entry + "' 2>&1");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(check.output, "");
  EXPECT_NE(ReadFile(entry).find("\nExec=\"/opt/my apps/Tavrik_Server_Crypt\" 50%% \"\\\\$x\"\n"),
            std::string::npos);
  EXPECT_TRUE(platform::RemoveAutostartEntry());
  EXPECT_FALSE(platform::AutostartEntryExists());
  EXPECT_TRUE(platform::RemoveAutostartEntry());
  EXPECT_FALSE(platform::WriteAutostartEntry({}));
}

TEST(InstallCommandTest, OneArgumentPerLine) {
  TempDir dir;
  const std::string file = dir / "Tavrik_Server_Crypt.autostart";
  using Arguments = std::optional<QStringList>;
  const std::vector<std::pair<std::string, Arguments>> cases = {
      {"/opt/t/Tavrik_Server_Crypt\n", QStringList{"/opt/t/Tavrik_Server_Crypt"}},
      {"# made by the package\n\n/opt/t/T\r\n--with space\n", QStringList{"/opt/t/T", "--with space"}},
      {"# nothing but a comment\n\n", std::nullopt},
      {"/opt/t/T\n--tab\there\n", std::nullopt},
      {"/opt/t/\xff\xfe\n", std::nullopt},
      {"/opt/t/T\n" + std::string(70'000, 'a') + "\n", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    WriteFile(file, text);
    EXPECT_EQ(platform::ReadInstallCommand(QString::fromStdString(file)), expected) << text.substr(0, 40);
  }
  EXPECT_EQ(platform::ReadInstallCommand(QString::fromStdString(dir / "missing")), std::nullopt);
}

TEST(InstanceLockTest, OneHolderAtATime) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  auto first = platform::LockInstance(folder);
  ASSERT_TRUE(first.lock);
  auto second = platform::LockInstance(folder);
  EXPECT_FALSE(second.lock);
  EXPECT_TRUE(second.other_copy);
  first.lock.reset();
  EXPECT_TRUE(platform::LockInstance(folder).lock);
  // A lock file left by a copy that died is taken over.
  WriteFile(folder + platform::kInstanceLockName, "999999999\nprogram_shell_platform_test\n\n");
  EXPECT_TRUE(platform::LockInstance(folder).lock);
  const auto nowhere = platform::LockInstance("");
  EXPECT_FALSE(nowhere.lock || nowhere.other_copy);
}

TEST(PortOwnerTest, ListeningSocketsOnly) {
  const std::string table =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
      "inode\n"
      "   0: 0100007F:1ECF 0100007F:A000 01 00000000:00000000 00:00000000 00000000  1001 0 1\n"
      "   1: 0100007F:1ECF 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1002 0 2\n"
      "   2: 00000000:0050 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0 0 3\n"
      "   3: garbage\n";
  EXPECT_EQ(platform::ListeningPortOwnerIn(table, 7887), 1002u);
  EXPECT_EQ(platform::ListeningPortOwnerIn(table, 80), 0u);
  EXPECT_EQ(platform::ListeningPortOwnerIn(table, 443), std::nullopt);
  EXPECT_EQ(platform::ListeningPortOwnerIn("", 7887), std::nullopt);
  EXPECT_EQ(platform::UserName(0), "root");
}

}  // namespace
