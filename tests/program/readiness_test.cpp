#include "providers/readiness.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "temp_dir.h"

extern char** environ;

namespace {

using testing_support::TempDir;

class RecordingHost : public providers::ReadinessHost {
 public:
  void AddListLine(const QString& m) override { lines.push_back("stamped: " + m.toStdString()); }
  void AddPlainListLine(const QString& m) override { lines.push_back(m.toStdString()); }
  void ShowInformation(const QString& m) override { boxes.push_back(m.toStdString()); }
  void CompleteStart() override { ++starts; }

  std::vector<std::string> lines;
  std::vector<std::string> boxes;
  int starts = 0;
};

class ReadinessTest : public ::testing::Test {
 protected:
  void SetUp() override { state_.log.SetPaths(dir_ / "r.log", dir_ / "r.log1"); }
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(dir_ / "r.log"))
      lines.push_back(testing_support::Unstamped(line));
    return lines;
  }

  TempDir dir_;
  service::ServiceState state_;
  RecordingHost host_;
};

TEST_F(ReadinessTest, AvestStartsWhenTheVendorLibraryInitialises) {
  providers::AvestLibrary avest;
  unsetenv("FAKE_AVCM_INIT_RESULT");
  providers::InitAvest(state_, avest, host_);
  EXPECT_EQ(host_.starts, 1);
  EXPECT_TRUE(host_.lines.empty());
  EXPECT_EQ(state_.active_provider.get(), providers::AvestName());
  EXPECT_EQ(LogLines().back(), "AvCmInitEx retCode | 0");
  EXPECT_EQ(providers::ShutdownAvestLibrary(avest, state_.log), 0u);
  EXPECT_FALSE(avest.module.loaded());

  setenv("FAKE_AVCM_INIT_RESULT", "E82A0001", 1);
  providers::InitAvest(state_, avest, host_);
  unsetenv("FAKE_AVCM_INIT_RESULT");
  EXPECT_EQ(host_.starts, 1);
  EXPECT_EQ(host_.lines, std::vector<std::string>{"stamped: Ошибка инициализации Авест"});
  EXPECT_EQ(LogLines().back(), "AvCmInitEx retCode | E82A0001");
  EXPECT_TRUE(avest.module.loaded());  // a failed initialisation keeps the library loaded
}

// Runs a copy of /bin/sleep under the given name for the life of the object.
class FakeProcess {
 public:
  explicit FakeProcess(const std::string& path) {
    std::filesystem::copy_file("/bin/sleep", path);
    std::string arg0 = path, seconds = "30";
    char* argv[] = {arg0.data(), seconds.data(), nullptr};
    posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ);
    // /proc shows the program file once exec has happened.
    for (int i = 0;
         i < 200 &&
         std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe").string() != path;
         ++i)
      usleep(5000);
  }
  ~FakeProcess() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = 0;
};

TEST_F(ReadinessTest, ZorvikNeedsARunningTokenWatcherAndWarnsWithoutTheSignProgram) {
  providers::TokenWatcherState watcher;
  std::filesystem::create_directories(dir_.path() / "watch");
  {
    FakeProcess wrong_case(dir_ / "watch/tokenwatcher");
    providers::CheckZorvikReady(state_, watcher, host_);
  }
  EXPECT_EQ(host_.boxes, std::vector<std::string>{"TokenWatcher для токена ЗОРВИКА не запущен"});
  EXPECT_EQ(host_.starts, 0);
  EXPECT_EQ(state_.active_provider.get(), providers::ZorvikName());

  {
    FakeProcess watcher_process(dir_ / "watch/TokenWatcher");
    providers::CheckZorvikReady(state_, watcher, host_);
  }
  const std::string folder = (dir_.path() / "watch").string() + "/";
  EXPECT_EQ(watcher.path.toStdString(), folder);
  EXPECT_EQ(watcher.folder, folder);
  EXPECT_EQ(host_.starts, 1);
  EXPECT_EQ(host_.lines,
            std::vector<std::string>{"Убедитесь в готовности к работе токена ЗОРВИКА"});

  // Gone now, but the folder found before still counts; the sign program is there.
  std::filesystem::create_directories(dir_.path() / "watch/Signkit");
  testing_support::WriteFile(dir_ / "watch/Signkit/sign", "");
  providers::CheckZorvikReady(state_, watcher, host_);
  EXPECT_EQ(host_.starts, 2);
  EXPECT_EQ(host_.lines.size(), 1u);
}

TEST_F(ReadinessTest, AvestStartedAgainFinishesTheLoadedLibraryFirst) {
  providers::AvestLibrary avest;
  setenv("FAKE_AVCM_INIT_RESULT", "E82A0001", 1);
  providers::InitAvest(state_, avest, host_);  // fails, the library stays loaded
  unsetenv("FAKE_AVCM_INIT_RESULT");
  providers::InitAvest(state_, avest, host_);
  EXPECT_EQ(host_.starts, 1);
  // Init(2) of the loaded library came before the new Init(1).
  const auto lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"AvCmInitEx retCode | E82A0001", "AvCmInitEx retCode | 0",
                                      "AvCmInitEx retCode | 0"}));
}

TEST_F(ReadinessTest, ATokenWatcherScriptCounts) {
  std::filesystem::create_directories(dir_.path() / "scripted");
  const std::string script = dir_ / "scripted/TokenWatcher";
  testing_support::WriteFile(script, "#!/bin/sh\nsleep 30\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // a group to end as a whole
  std::string arg0 = script;
  char* argv[] = {arg0.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, script.c_str(), nullptr, &attributes, argv, environ), 0);
  posix_spawnattr_destroy(&attributes);
  providers::TokenWatcherState watcher;
  for (int i = 0; i < 200 && watcher.path.isEmpty(); ++i) {
    usleep(10000);
    providers::CheckZorvikReady(state_, watcher, host_);
  }
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(watcher.path.toStdString(), (dir_.path() / "scripted").string() + "/");
}

}  // namespace
