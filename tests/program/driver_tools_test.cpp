// elevate and TokenDriverHost, the stand-ins for the outside driver tools, with
// the system's folders under a test root and a systemctl that notes its calls.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "tls_client.h"

namespace {

using testing_support::ReadFile;
using testing_support::ReadLines;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteFile;

void MakeExecutable(const std::string& path, const std::string& text) {
  WriteFile(path, text);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

class TokenDriverHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy of the host with a watcher beside it, as the installation places them.
    std::filesystem::create_directories(dir_ / "host");
    std::filesystem::create_directories(dir_ / "bin");
    std::filesystem::copy_file(TOKEN_DRIVER_HOST, dir_ / "host/TokenDriverHost");
    MakeExecutable(dir_ / "host/TokenWatcher", "#!/bin/sh\nexec sleep 1000\n");
    MakeExecutable(dir_ / "bin/systemctl", "#!/bin/sh\necho \"$*\" >> '" + dir_ / "calls" + "'\n");
  }
  int Host(const std::string& argument) {
    return WEXITSTATUS(RunCommand("PATH='" + dir_ / "bin" + "':$PATH PKEXEC_UID=1234 "
                                  "TOKEN_DRIVER_HOST_ROOT='" + dir_ / "root" + "' '" +
                                  dir_ / "host/TokenDriverHost" + "' " + argument + " 2>&1")
                           .status);
  }
  TempDir dir_;
};

TEST_F(TokenDriverHostTest, SystemdUserUnitWhereSystemdRuns) {
  std::filesystem::create_directories(dir_ / "root/run/systemd/system");
  const std::string unit = dir_ / "root/etc/systemd/user/TokenWatcher.service";
  EXPECT_EQ(Host("-service"), 1);  // nothing registered yet
  ASSERT_EQ(Host("/RegServer"), 0);
  EXPECT_NE(ReadFile(unit).find("\nExecStart=" + dir_ / "host/TokenWatcher" + "\n"),
            std::string::npos);
  EXPECT_EQ(Host("-service"), 0);
  EXPECT_EQ(Host("/UnRegServer"), 0);
  EXPECT_FALSE(std::filesystem::exists(unit));
  EXPECT_EQ(ReadLines(dir_ / "calls"),
            (std::vector<std::string>{"--global enable TokenWatcher.service",
                                      "--user --machine=1234@ daemon-reload",
                                      "--user --machine=1234@ start TokenWatcher.service",
                                      "--user --machine=1234@ stop TokenWatcher.service",
                                      "--global disable TokenWatcher.service"}));
}

TEST_F(TokenDriverHostTest, AutostartEntryWhereNoUserManagerRuns) {
  const std::string entry = dir_ / "root/etc/xdg/autostart/TokenWatcher.desktop";
  ASSERT_EQ(Host("/regserver"), 0);  // switches are taken in any letter case
  const auto check = RunCommand("desktop-file-validate '" + entry + "' 2>&1");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(Host("-service"), 0);
  EXPECT_EQ(Host("/UnRegServer"), 0);
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "calls"));
  EXPECT_EQ(Host("/Bogus"), 2);
  std::filesystem::remove(dir_ / "host/TokenWatcher");
  EXPECT_EQ(Host("/RegServer"), 1);
}

TEST(ElevateTest, RunsTheProgramWithAdministratorRights) {
  TempDir dir;
  // Where this runs as root the program runs directly; elsewhere through pkexec
  // (a stand-in here), which is given the program's full path.
  MakeExecutable(dir / "pkexec", "#!/bin/sh\necho pkexec \"$@\"\n");
  const std::string prefix = "PATH='" + dir.path().string() + "':$PATH '" ELEVATE "' ";
  const std::string output = RunCommand(prefix + "printf '%s,' a 'b c'").output;
  if (geteuid() == 0) {
    EXPECT_EQ(output, "a,b c,");
  } else {
    EXPECT_EQ(output.rfind("pkexec /", 0), 0u) << output;
    EXPECT_TRUE(output.ends_with("/printf %s, a b c\n")) << output;
  }
  EXPECT_EQ(WEXITSTATUS(RunCommand(prefix + "no-such-program-anywhere 2>&1").status), 127);
  EXPECT_EQ(WEXITSTATUS(RunCommand(prefix + "2>&1").status), 2);
}

}  // namespace
